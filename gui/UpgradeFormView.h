#pragma once

#include <QWidget>

class CSXButton;
class QGroupBox;
class QLabel;

// The upgrade form's window: the kit's title and description in their frames, the Program
// button and the caution line, on the button-shadow colour. It shows what it is given and
// reports the Program press; the workflow behind it decides everything.
class CUpgradeFormView : public QWidget {
    Q_OBJECT
public:
    explicit CUpgradeFormView(QWidget* parent = nullptr);

    void SetTitleText(const QString& text);
    void SetDescriptionText(const QString& text);

    CSXButton* ProgramButton() const { return m_program; }
    QLabel* TitleText() const { return m_titleText; }
    QLabel* DescriptionText() const { return m_descriptionText; }
    QLabel* Caution() const { return m_caution; }
    QGroupBox* TitleFrame() const { return m_titleFrame; }
    QGroupBox* DescriptionFrame() const { return m_descriptionFrame; }

    static constexpr const char* kCautionText =
        "Caution: Please ensure to power on the radio before click PROGRAM button. ";

signals:
    void programPressed();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QGroupBox* m_titleFrame;
    QGroupBox* m_descriptionFrame;
    CSXButton* m_program;
    QLabel* m_titleText;
    QLabel* m_descriptionText;
    QLabel* m_caution;
};
