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

CScratchDirectory::CScratchDirectory(const std::string& name)
{
    m_previous = std::filesystem::current_path();
    m_path = std::filesystem::temp_directory_path() / ("tessarin-gui-tests-" + std::to_string(::getpid())) / name;
    std::filesystem::remove_all(m_path);
    std::filesystem::create_directories(m_path);
    std::filesystem::current_path(m_path);
}

CScratchDirectory::~CScratchDirectory()
{
    std::error_code error;
    std::filesystem::current_path(m_previous, error);
    std::filesystem::remove_all(m_path, error);
    std::filesystem::remove(m_path.parent_path(), error);  // the process's folder, once empty
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
