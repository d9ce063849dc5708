#pragma once

#include <QDialog>

class QButtonGroup;
class QComboBox;
class QLabel;
class QRadioButton;

// The about box: the application icon, the product title and the version text.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    CAboutDlg(const QString& productTitle, QWidget* parent = nullptr);
    QLabel* TitleControl() const { return m_title; }

    // "Version: " with the program's version and its release date.
    static QString VersionText();

private:
    QLabel* m_title;
};

// "Communication Settings": the serial ports found on this machine, as their port numbers
// ("COM3"), with the device each number names.
class CCommDialog : public QDialog {
    Q_OBJECT
public:
    CCommDialog(int currentPort, QWidget* parent = nullptr);
    // The chosen port number, or `currentPort` when none is selected.
    int PortNumber() const;
    QComboBox* PortList() const { return m_ports; }

private:
    void ShowDevice();

    int m_currentPort;
    QComboBox* m_ports;
};

// "ORX Setting": whether the interface box echoes what the PC sends.
class COrxDialog : public QDialog {
    Q_OBJECT
public:
    COrxDialog(int echoType, QWidget* parent = nullptr);
    // 1 when "Echo" is chosen, else 0.
    int EchoType() const;
    QRadioButton* EchoButton() const { return m_echo; }
    QRadioButton* NoEchoButton() const { return m_noEcho; }

private:
    QRadioButton* m_echo;
    QRadioButton* m_noEcho;
};

// "Configuration": the flash rate the boot code talks at. Has only OK; Escape or closing the
// window leaves the choice unmade.
class FlashDialog : public QDialog {
    Q_OBJECT
public:
    FlashDialog(int initialBaud, QWidget* parent = nullptr);
    // The selected rate index (0, 1, 2) and its baud rate.
    int SelectedRate() const;
    int SelectedBaud() const;
    QRadioButton* RateButton(int index) const { return m_rates[index]; }

    static int RateIndexForBaud(int baud);
    static int BaudForRateIndex(int index);

    static const char* const kExplanation;

private:
    QRadioButton* m_rates[3];
    QButtonGroup* m_group;
};
