#include "uploader/Tessaload.h"

#include "common/Blanks.h"
#include "common/Files.h"
#include "common/Numbers.h"
#include "common/RegexOps.h"
#include "common/ScriptError.h"
#include "uploader/FileFilter.h"
#include "uploader/QueueHelpers.h"
#include "uploader/clsFileDialog.h"
#include "uploader/modSendFile.h"

#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <exception>
#include <limits>

const DispatchTable& Tessaload::dispatchTable() {
    static const DispatchTable table = {
        {0x68030008, QStringLiteral("SendUrl"), DispatchKind::PropertyPut, "put_SendUrl"},
        {0x68030007, QStringLiteral("BlockSize"), DispatchKind::PropertyPut, "put_BlockSize"},
        {0x68030006, QStringLiteral("AllowSize"), DispatchKind::PropertyPut, "put_AllowSize"},
        {0x68030005, QStringLiteral("AllowExt"), DispatchKind::PropertyPut, "put_AllowExt"},
        {0x68030004, QStringLiteral("FileType"), DispatchKind::PropertyPut, "put_FileType"},
        {0x68030003, QStringLiteral("Lang"), DispatchKind::PropertyPut, "put_Lang"},
        {0x68030002, QStringLiteral("Charset"), DispatchKind::PropertyPut, "put_Charset"},
        {0x68030001, QStringLiteral("MultiFile"), DispatchKind::PropertyPut, "put_MultiFile"},
        {0x68030000, QStringLiteral("Version"), DispatchKind::PropertyGet, "Version"},
    };
    return table;
}

Tessaload::Tessaload(UploadPageState& page, const QString& title, QWidget* parent)
    : QWidget(parent), m_state(page) {
    setObjectName(QStringLiteral("Tessaload"));
    setWindowTitle(title.isEmpty() ? QStringLiteral("Tessaload")
                                   : QStringLiteral("Tessaload - ") + title);
    TransferState& t = m_state.Transfer;
    t.TotalsDirty = false;
    t.BlockBytes = 51200;
    t.RequestBaseUrl.clear();
    t.TextCharset = QStringLiteral("utf-8");
    buildWindow();
    ApplyLanguage();
    m_state.Queue.reset();
    RebuildList();
    UpdateButtons();
    BuildProgressImages();
    resize(DesignWidth, DesignHeight);
}

Tessaload::~Tessaload() {
    // A page that goes away takes its run with it; no reply may come for a window that
    // no longer exists.
    if (timerActive())
        StopTransfer(m_state);
}

void Tessaload::put_SendUrl(const QString& s_SendUrl) {
    m_sendUrl = s_SendUrl;
}

void Tessaload::put_BlockSize(const QString& s_BlockSize) {
    const std::optional<double> number = ParseNumeric(s_BlockSize);
    if (!number)
        return;
    const qint64 bytes = qint64(RoundToInt32(*number)) * 1024;
    if (bytes > std::numeric_limits<qint32>::max() || bytes < std::numeric_limits<qint32>::min())
        throw ScriptError(ScriptErrorNumber::Overflow, QStringLiteral("Overflow"),
                          QStringLiteral("Tessaload"));
    // Blocks of no bytes would never finish a file; such a size is ignored like a text.
    if (bytes < 1024)
        return;
    m_state.Transfer.BlockBytes = bytes;
}

void Tessaload::put_AllowSize(const QString& s_AllowSize) {
    if (const std::optional<double> number = ParseNumeric(s_AllowSize))
        m_allowSize = RoundToInt32(*number);
}

void Tessaload::put_AllowExt(const QString& s_AllowExt) {
    QStringList kept;
    for (const QString& piece : s_AllowExt.toLower().split(QLatin1Char('|'))) {
        const QString entry = TrimBlanks(piece);
        if (!entry.isEmpty() && !RegexTest(QStringLiteral("[^a-z0-9]+"), entry))
            kept.append(entry);
    }
    if (!kept.isEmpty())
        m_allowExt = kept.join(QLatin1Char('|'));
}

void Tessaload::put_FileType(const QString& s_FileType) {
    const QString value = s_FileType.toLower();
    if (QStringLiteral("|file|media|flash|image|")
            .contains(QLatin1Char('|') + value + QLatin1Char('|')))
        m_fileType = value;
}

void Tessaload::put_Lang(const QString& s_Lang) {
    const QString value = s_Lang == QLatin1String("zh-tw") || s_Lang == QLatin1String("zh-cn")
                              ? s_Lang
                              : QStringLiteral("en");
    if (value == m_lang)
        return;
    m_lang = value;
    ApplyLanguage();
}

void Tessaload::put_Charset(const QString& s_Charset) {
    m_state.Transfer.TextCharset = s_Charset;
}

void Tessaload::put_MultiFile(const QString& s_MultiFile) {
    m_multiFile = s_MultiFile != QLatin1String("0");
    for (QPushButton* button : {cmdDel, cmdEmpty, cmdUp, cmdDown})
        button->setVisible(m_multiFile);
}

void Tessaload::cmdBrowse_Click() {
    const LangTexts& texts = m_state.Texts;
    QString description;
    if (m_fileType == QLatin1String("image"))
        description = texts.LangImage;
    else if (m_fileType == QLatin1String("flash"))
        description = texts.LangFlash;
    else if (m_fileType == QLatin1String("media"))
        description = texts.LangMedia;
    else if (m_fileType == QLatin1String("file"))
        description = texts.LangFile;
    const QString filter = BuildBrowseFilter(description, m_allowExt);

    QStringList chosen;
    {
        clsFileDialog dialog;
        dialog.setFilter(filter);
        dialog.setFlags(m_multiFile
                            ? clsFileDialog::OFN_ALLOWMULTISELECT | clsFileDialog::OFN_FILEMUSTEXIST
                            : clsFileDialog::OFN_FILEMUSTEXIST);
        dialog.setHwnd(this);
        dialog.setCancelError(true);
        try {
            dialog.ShowOpen();
        } catch (const ScriptError&) {
            return;
        }
        if (m_multiFile) {
            QString folder;
            QStringList names;
            qint32 count = 0;
            dialog.ParseMultiFileName(folder, names, count);
            for (const QString& name : std::as_const(names))
                chosen.append(QDir::cleanPath(folder + QLatin1Char('/') + name));
        } else {
            chosen.append(dialog.FileName());
        }
    }

    qint32 filtered = 0;
    for (const QString& path : chosen) {
        try {
            if (!AddFile(path))
                ++filtered;
        } catch (const std::exception&) {
            ++filtered;
        }
    }
    UpdateButtons();
    if (filtered > 0) {
        QMessageBox box(QMessageBox::Critical, texts.LangNotice,
                        QString(texts.LangFiltered)
                            .replace(QStringLiteral("{count}"), QString::number(filtered)),
                        QMessageBox::Ok, this);
        box.setObjectName(QStringLiteral("FilteredMessage"));
        box.exec();
    }
    RecalcTotals();
}

bool Tessaload::AddFile(const QString& path) {
    if (!IsAllowedFile(path, m_allowExt))
        return false;
    const qint64 size = GetFileSize(path);
    if (double(size) / 1024.0 > double(m_allowSize))
        return false;
    if (m_state.Queue.count() >= UploadQueue::MaxFiles)
        throw ScriptError(ScriptErrorNumber::Overflow, QStringLiteral("Overflow"),
                          QStringLiteral("Tessaload"));
    if (!m_multiFile)
        emptyQueue();
    UploadItem item;
    item.LocalPath = path;
    item.ShortName = GetFileName(path);
    item.Extension = GetExtension(path);
    item.ByteSize = size;
    item.SizeText = FormatSize(size);
    item.Included = true;
    item.Status = QStringLiteral("wait");
    item.Progress = 0;
    item.RowDirty = true;
    item.BlockCount = GetBlockCount(size, m_state.Transfer.BlockBytes);
    m_state.Queue.items.append(item);
    AddRow(m_state.Queue.count());
    return true;
}

void Tessaload::cmdDel_Click() {
    UploadQueue& queue = m_state.Queue;
    const qint32 n = queue.count();
    if (n < 1)
        return;
    const qint32 s = SelectedRow();
    if (s < 1)
        return;
    queue.items.removeAt(s);
    RebuildList();
    const qint32 m = n - 1;
    if (m > 0)
        selectRow(m < s ? m : s);
    UpdateButtons();
    RecalcTotals();
}

void Tessaload::emptyQueue() {
    if (m_state.Queue.count() < 1)
        return;
    m_state.Queue.reset();
    RebuildList();
    UpdateButtons();
    RecalcTotals();
}

void Tessaload::cmdEmpty_Click() {
    emptyQueue();
}

void Tessaload::cmdUp_Click() {
    QList<UploadItem>& items = m_state.Queue.items;
    if (m_state.Queue.count() < 1)
        return;
    const qint32 a = SelectedRow();
    if (a <= 1)
        return;
    items[0] = items[a - 1];
    items[a - 1] = items[a];
    items[a] = items[0];
    RebuildList();
    selectRow(a - 1);
    UpdateButtons();
}

void Tessaload::cmdDown_Click() {
    QList<UploadItem>& items = m_state.Queue.items;
    const qint32 n = m_state.Queue.count();
    if (n < 1)
        return;
    const qint32 a = SelectedRow();
    if (a < 1 || a >= n)
        return;
    items[0] = items[a + 1];
    items[a + 1] = items[a];
    items[a] = items[0];
    RebuildList();
    selectRow(a + 1);
    UpdateButtons();
}

QString Tessaload::GetResultList() const {
    QStringList entries;
    const QList<UploadItem>& items = m_state.Queue.items;
    for (qsizetype i = 1; i < items.size(); ++i) {
        if (items[i].Status == QLatin1String("ok"))
            entries.append(items[i].LocalPath + QStringLiteral("::") + items[i].ServerReply);
    }
    return entries.join(QLatin1Char('|'));
}
