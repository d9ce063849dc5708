#include "GuiTestSupport.h"

#include "files/DataFile.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QTest>

#include <fstream>

void CModalAnswerer::Start()
{
    QObject::connect(&m_timer, &QTimer::timeout, [this] { Poll(); });
    m_timer.start(10);
}

void CModalAnswerer::Poll()
{
    if (Done()) {
        m_timer.stop();
        return;
    }
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal == m_lastHandled.data() || !modal->isVisible())
        return;
    if (m_steps[m_next](modal)) {
        m_lastHandled = modal;
        ++m_next;
    }
}

CScratchCurrentDirectory::CScratchCurrentDirectory(const std::string& name)
    : m_previous(std::filesystem::current_path()), m_scratch("tessarin-gui-" + name)
{
    std::filesystem::current_path(m_scratch.Path());
}

CScratchCurrentDirectory::~CScratchCurrentDirectory()
{
    std::error_code error;
    std::filesystem::current_path(m_previous, error);
}

void WriteConfigFile(const std::filesystem::path& directory, const std::string& productLine,
                     const std::string& title, const std::string& description)
{
    const std::string plain = "PATCH-D01.01.07\r\n" + title + "\r\n" + description +
                              "\r\nTestKey\r\n01\r\nPRODUCT_LINE\r\n" + productLine +
                              "\r\nRADIO_GROUP_REGION\r\nrelease\r\n";
    std::vector<char> bytes = EncipherDataFile(plain, kConfigFileKey);
    std::ofstream(directory / "patcher.dat", std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

QString MessageBoxText(QWidget* widget)
{
    auto* box = qobject_cast<QMessageBox*>(widget);
    return box ? box->text() : QString();
}

bool PressButton(QWidget* widget, const QString& label)
{
    for (QAbstractButton* button : widget->findChildren<QAbstractButton*>()) {
        if (button->text().remove('&') == label && button->isVisible()) {
            button->click();
            return true;
        }
    }
    return false;
}
