#include "gui/UpgradeFormView.h"

#include "gui/Artwork.h"
#include "gui/SXButton.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace {
const QColor kFrameText(255, 255, 255);
const QColor kKitText(255, 255, 0);
const QColor kCautionColour(200, 0, 0);

// Text of `colour` on the button-shadow colour.
void Colour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);  // a group box draws its title in this one
    palette.setColor(QPalette::Window, Artwork::ButtonShadowColour());
    widget->setPalette(palette);
}
} // namespace

CUpgradeFormView::CUpgradeFormView(QWidget* parent)
    : QWidget(parent),
      m_titleFrame(new QGroupBox("Title")),
      m_descriptionFrame(new QGroupBox("Description")),
      m_program(new CSXButton("Program")),
      m_titleText(new QLabel),
      m_descriptionText(new QLabel),
      m_caution(new QLabel(kCautionText))
{
    setObjectName("UpgradeForm");
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_titleFrame->setObjectName("TitleFrame");
    m_descriptionFrame->setObjectName("DescriptionFrame");
    m_program->setObjectName("Program");
    m_titleText->setObjectName("TitleText");
    m_descriptionText->setObjectName("DescriptionText");
    m_caution->setObjectName("Caution");

    Colour(m_titleFrame, kFrameText);
    Colour(m_descriptionFrame, kFrameText);
    Colour(m_titleText, kKitText);
    Colour(m_descriptionText, kKitText);
    Colour(m_caution, kCautionColour);

    // The frame titles in bold: thin white strokes on the grey would read as grey. The kit's
    // texts inside keep the plain font.
    for (QWidget* text : {m_titleText, m_descriptionText}) {
        QFont plain = text->font();
        plain.setBold(false);
        text->setFont(plain);
    }
    for (QGroupBox* frame : {m_titleFrame, m_descriptionFrame}) {
        QFont bold = frame->font();
        bold.setBold(true);
        frame->setFont(bold);
    }

    m_titleText->setTextFormat(Qt::PlainText);
    m_titleText->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_titleText->setWordWrap(true);
    m_descriptionText->setTextFormat(Qt::PlainText);
    m_descriptionText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_descriptionText->setWordWrap(true);
    m_caution->setTextFormat(Qt::PlainText);
    m_caution->setWordWrap(true);
    QFont bold = m_caution->font();
    bold.setBold(true);
    m_caution->setFont(bold);

    m_program->SetIcon(Artwork::ProgramIcon(32));
    m_program->SetIconLeftOffset(15);
    m_program->SetTextGap(1);
    m_program->setFixedSize(150, 44);
    connect(m_program, &CSXButton::clicked, this, &CUpgradeFormView::programPressed);

    (new QVBoxLayout(m_titleFrame))->addWidget(m_titleText);
    (new QVBoxLayout(m_descriptionFrame))->addWidget(m_descriptionText);

    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(m_program);
    buttonRow->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);
    layout->setSpacing(10);
    layout->addWidget(m_titleFrame);
    layout->addWidget(m_descriptionFrame, 1);
    layout->addLayout(buttonRow);
    layout->addWidget(m_caution);
}

void CUpgradeFormView::SetTitleText(const QString& text) { m_titleText->setText(text); }

void CUpgradeFormView::SetDescriptionText(const QString& text) { m_descriptionText->setText(text); }

void CUpgradeFormView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Artwork::ButtonShadowColour());
}
