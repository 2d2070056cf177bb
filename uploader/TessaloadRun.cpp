// The run of the upload control: Upload, Cancel and the 50 ms timer that redraws the
// window and ends the run.
#include "uploader/Tessaload.h"
#include "uploader/modSendFile.h"

#include <QMessageBox>
#include <QTimer>

bool Tessaload::timerActive() const {
    return Timer1->isActive();
}

void Tessaload::cmdUpload_Click() {
    if (m_state.Queue.count() < 1)
        return;
    EnableControls(false);
    emit OnUpload(QStringLiteral("begin"), QString());
    m_state.Transfer.RequestBaseUrl =
        m_sendUrl + QStringLiteral("&action=mfu") + QStringLiteral("&type=") + m_fileType;
    m_firstPendingRow = 1;
    Timer1->start();
    SendNext(m_state, true);
}

void Tessaload::cmdCancel_Click() {
    if (timerActive())
        m_state.Transfer.CancelRequested = true;
    else
        emit OnCancel(QString());
}

void Tessaload::Timer1_Timer() {
    TransferState& t = m_state.Transfer;
    if (t.TotalsDirty) {
        t.TotalsDirty = false;
        ShowTotals(true);
    }
    const bool finished = t.RunFinished;
    QList<UploadItem>& items = m_state.Queue.items;
    const qint32 last = std::min(m_state.Queue.count(), t.CurrentIndex);
    for (qint32 i = m_firstPendingRow; i <= last; ++i) {
        if (items[i].Included && items[i].RowDirty)
            RefreshRow(i, items[i].Progress);
        if (items[i].Status == QLatin1String("ok") ||
            items[i].Status == QLatin1String("errorupload"))
            m_firstPendingRow = i + 1;
    }
    if (!finished)
        return;
    Timer1->stop();
    if (t.CancelRequested) {
        EnableControls(true);
        emit OnCancel(QStringLiteral("upload"));
        return;
    }
    if (t.FailCount < 1) {
        emit OnUpload(QStringLiteral("endall"), GetResultList());
        EnableControls(true);
        return;
    }
    const LangTexts& texts = m_state.Texts;
    QMessageBox box(QMessageBox::NoIcon, texts.LangNotice,
                    QString(texts.LangRetryPrompt)
                        .replace(QStringLiteral("{count}"), QString::number(t.FailCount)),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setObjectName(QStringLiteral("RetryQuestion"));
    if (box.exec() == QMessageBox::Yes) {
        emit OnUpload(QStringLiteral("retry"), QString());
        m_firstPendingRow = 1;
        Timer1->start();
        SendNext(m_state, true);
    } else {
        emit OnUpload(QStringLiteral("endapart"), GetResultList());
        EnableControls(true);
    }
}
