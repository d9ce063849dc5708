#pragma once

#include <QPixmap>
#include <QWidget>

#include <functional>

// The start view: the product line's picture centred on the button-shadow colour. A quarter
// second after it is shown its timer ticks; on the first tick of the run it shows the wait
// cursor and, 700 ms later, asks the frame to put the upgrade form in its place. Later ticks
// do nothing.
class CTessarinView : public QWidget {
    Q_OBJECT
public:
    CTessarinView(int productLine, std::function<void()> switchView, QWidget* parent = nullptr);

    // Starts the timer (the view's initial update).
    void OnInitialUpdate();
    QRect PictureRect() const { return m_pictureRect; }

    // Whether this run has switched views already (tests reset it).
    static bool& SwitchedThisRun();
    // The timer's period and the wait after the first tick, in milliseconds.
    static int& TickMilliseconds();
    static int& WaitMilliseconds();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void OnTimer();

    QPixmap m_picture;
    QRect m_pictureRect;
    std::function<void()> m_switchView;
};
