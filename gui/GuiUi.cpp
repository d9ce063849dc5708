#include "gui/GuiUi.h"

#include "gui/Dialogs.h"
#include "gui/MainFrame.h"
#include "gui/UpgradeForm.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QThread>

#include <algorithm>
#include <cstdio>

namespace {

// A text broken into lines by hand keeps its lines: the label is made as wide as its widest
// line (up to a limit), so the box does not wrap them again into ragged ones.
void KeepHandBrokenLines(QMessageBox& box)
{
    constexpr int kWidestLabel = 900;
    auto* label = box.findChild<QLabel*>("qt_msgbox_label");
    if (label == nullptr || !box.text().contains('\n'))
        return;
    int widest = 0;
    for (const QString& line : box.text().split('\n'))
        widest = std::max(widest, label->fontMetrics().horizontalAdvance(line));
    label->setMinimumWidth(std::min(widest + label->fontMetrics().averageCharWidth(), kWidestLabel));
}

} // namespace

int ShowMessageBox(QWidget* parent, const std::string& text, const std::string& caption, unsigned style)
{
    QMessageBox box(parent);
    box.setObjectName("MessageBox");
    box.setWindowTitle(QString::fromStdString(caption));
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromStdString(text));
    KeepHandBrokenLines(box);
    switch (style & 0xF0) {
    case MB_ICONSTOP:
        box.setIcon(QMessageBox::Critical);
        break;
    case MB_ICONEXCLAMATION:
        box.setIcon(QMessageBox::Warning);
        break;
    case MB_ICONINFORMATION:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        box.setIcon(QMessageBox::NoIcon);
        break;
    }
    if ((style & 0x0F) == MB_OKCANCEL) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Cancel);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
    }
    return box.exec() == QMessageBox::Ok ? IDOK : IDCANCEL;
}

void CGuiUi::OnGuiThread(const std::function<void()>& call)
{
    if (QThread::currentThread() == qApp->thread())
        call();
    else
        QMetaObject::invokeMethod(qApp, call, Qt::BlockingQueuedConnection);
}

void CGuiUi::OnFrame(const std::function<void(CMainFrame&)>& call)
{
    if (m_closing)
        return;
    OnGuiThread([&] {
        if (m_frame)
            call(*m_frame);
    });
}

int CGuiUi::MessageBox(const std::string& text, const std::string& caption, unsigned style)
{
    int result = IDCANCEL;
    if (m_closing) {
        // Nothing can be shown any more (the loop has ended, or a stop signal came): the text
        // is not lost, it goes to standard error.
        std::fprintf(stderr, "tessarin-gui: %s: %s\n", caption.c_str(), text.c_str());
        return (style & 0x0F) == MB_OKCANCEL ? IDCANCEL : IDOK;
    }
    OnGuiThread([&] { result = ShowMessageBox(m_frame, text, caption, style); });
    m_shown.RecordBox(caption, text, style, result);
    return result;
}

intptr_t CGuiUi::SendMainFrameMessage(unsigned message, uintptr_t wParam, intptr_t lParam)
{
    intptr_t result = 0;
    OnFrame([&](CMainFrame& frame) { result = frame.OnFrameMessage(message, wParam, lParam); });
    return result;
}

void CGuiUi::Quit(int exitCode)
{
    // Like a posted quit message: the event loop ends once the current work has returned.
    QMetaObject::invokeMethod(qApp, [exitCode] { QCoreApplication::exit(exitCode); }, Qt::QueuedConnection);
}

void CGuiUi::SetProgressText(const std::string& text)
{
    OnFrame([&](CMainFrame& frame) { frame.SetProgressText(QString::fromStdString(text)); });
}

void CGuiUi::ShowRadio(const std::string& text)
{
    OnFrame([&](CMainFrame& frame) { frame.ShowRadio(QString::fromStdString(text)); });
}

void CGuiUi::ShowProgress(const ProgressReport& report)
{
    OnFrame([&](CMainFrame& frame) { frame.ShowProgress(report); });
}

void CGuiUi::ShowActivity(const std::string& text)
{
    OnFrame([&](CMainFrame& frame) { frame.ShowActivity(QString::fromStdString(text)); });
}

void CGuiUi::ShowPressEnd(const std::string& text)
{
    if (!text.empty())
        ShowActivity(text);
}

void CGuiUi::ShowFormTexts(const std::string& title, const std::string& description)
{
    OnFrame([&](CMainFrame& frame) {
        if (frame.Form()) {
            frame.Form()->SetTitleText(QString::fromStdString(title));
            frame.Form()->SetDescriptionText(QString::fromStdString(description));
        }
    });
}

int CGuiUi::AskFlashRate(int initialBaud)
{
    int rate = 0;
    if (m_closing)
        return rate;
    OnGuiThread([&] {
        FlashDialog dialog(initialBaud, m_frame);
        if (dialog.exec() == QDialog::Accepted)
            rate = dialog.SelectedBaud();
    });
    m_shown.Record("Configuration", "Flash Rate", rate == 0 ? "closed" : std::to_string(rate));
    return rate;
}
