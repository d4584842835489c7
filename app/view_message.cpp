// Starting a message from its templates.

#include "app/talkpost_view.h"

#include "resources/product.h"
#include "resources/resource_ids.h"

#include <QFile>

void CTalkpostView::OnNewMessage()
{
    AppendLog(QStringLiteral("New email."));
    m_recipient.clear();
    m_cc.clear();
    m_subject = QStringLiteral("Voice message from ") + m_account.name;
    m_phone.clear();
    m_body = QStringLiteral("Hello,\r\n\r\n"
                            "Important notice:\r\n"
                            "The attached audio file is the actual message.\r\n"
                            "You can listen to it using your Windows default audio player.\r\n"
                            "\r\n") +
             m_account.name;
    finishMessageTemplate();
}

void CTalkpostView::OnTechSupport()
{
    AppendLog(QStringLiteral("Tech Support email."));
    m_recipient = QString::fromLatin1(Product::SupportAddress);
    m_subject = QStringLiteral("Help needed");
    m_phone.clear();
    m_body = QStringLiteral(">>Hello,\r\n>>\r\n"
                            ">>Please enter your questions below and send them to Orvanto Support Team.\r\n"
                            ">>\r\n\r\n\r\n") +
             m_account.name;
    finishMessageTemplate();
}

// What both templates share: no attachments, no recording, the form shown afresh.
void CTalkpostView::finishMessageTemplate()
{
    m_attachments.clear();
    m_recorder->discardRecording();
    UpdateData(false);
    EnableButton(Ids::PlayButton, false);
    EnableButton(Ids::StopButton, false);
    EnableButton(Ids::AttachButton, false);
}
