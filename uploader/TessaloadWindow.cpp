// The window of the upload control: its parts, their layout, the list rows with their
// progress pictures, the button rules and the totals line.
#include "uploader/Tessaload.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <cmath>

namespace {
enum Column { MainColumn, SeqColumn, FilenameColumn, FilesizeColumn, ProgressColumn, StatusColumn };

constexpr int Spacing = 8;
constexpr int ButtonWidth = 65;
constexpr int ButtonHeight = 25;
// The drawing surface is 106 x 18 with a two-pixel sunken border on every side.
constexpr int SurfaceWidth = 106;
constexpr int SurfaceHeight = 18;
constexpr int SurfaceBorder = 2;
// 0xCC9833 and 0x808080 as the page's colour values (red in the low byte).
const QColor BarColour(0x33, 0x98, 0xCC);
const QColor BarBackground(0x80, 0x80, 0x80);

const Qt::Alignment ColumnAlignment[] = {Qt::AlignLeft,  Qt::AlignHCenter, Qt::AlignLeft,
                                         Qt::AlignRight, Qt::AlignHCenter, Qt::AlignHCenter};
const int ColumnWidth[] = {0, 40, 150, 80, 102, 70};

qint64 RoundHalfEven(double value) {
    return static_cast<qint64>(std::nearbyint(value));
}
} // namespace

void Tessaload::buildWindow() {
    const auto makeButton = [this](const char* name) {
        auto* button = new QPushButton(this);
        button->setObjectName(QLatin1String(name));
        button->resize(ButtonWidth, ButtonHeight);
        return button;
    };
    cmdBrowse = makeButton("cmdBrowse");
    cmdDel = makeButton("cmdDel");
    cmdEmpty = makeButton("cmdEmpty");
    cmdUp = makeButton("cmdUp");
    cmdDown = makeButton("cmdDown");
    cmdUpload = makeButton("cmdUpload");
    cmdCancel = makeButton("cmdCancel");

    lvFile = new QTreeWidget(this);
    lvFile->setObjectName(QStringLiteral("lvFile"));
    lvFile->setColumnCount(6);
    lvFile->setRootIsDecorated(false);
    lvFile->setItemsExpandable(false);
    lvFile->setUniformRowHeights(true);
    lvFile->setSelectionMode(QAbstractItemView::SingleSelection);
    lvFile->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvFile->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvFile->setIconSize(QSize(SurfaceWidth - 2 * SurfaceBorder, SurfaceHeight - 2 * SurfaceBorder));
    lvFile->header()->setStretchLastSection(false);
    lvFile->header()->setSectionsMovable(false);
    lvFile->header()->setMinimumSectionSize(0);
    for (int c = MainColumn; c <= StatusColumn; ++c) {
        lvFile->setColumnWidth(c, ColumnWidth[c]);
        lvFile->headerItem()->setTextAlignment(c, ColumnAlignment[c] | Qt::AlignVCenter);
    }
    lvFile->viewport()->installEventFilter(this);
    lvFile->installEventFilter(this);

    lblTotal = new QLabel(this);
    lblTotal->setObjectName(QStringLiteral("lblTotal"));
    pbTotal = new QProgressBar(this);
    pbTotal->setObjectName(QStringLiteral("pbTotal"));
    pbTotal->resize(82, 12);
    pbTotal->setRange(0, 100);
    pbTotal->setValue(0);
    pbTotal->setTextVisible(false);
    pbTotal->setStyleSheet(QStringLiteral("QProgressBar { background: %1; border: none; }"
                                          "QProgressBar::chunk { background: %2; }")
                               .arg(BarBackground.name(), BarColour.name()));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(50);

    connect(cmdBrowse, &QPushButton::clicked, this, &Tessaload::cmdBrowse_Click);
    connect(cmdDel, &QPushButton::clicked, this, &Tessaload::cmdDel_Click);
    connect(cmdEmpty, &QPushButton::clicked, this, &Tessaload::cmdEmpty_Click);
    connect(cmdUp, &QPushButton::clicked, this, &Tessaload::cmdUp_Click);
    connect(cmdDown, &QPushButton::clicked, this, &Tessaload::cmdDown_Click);
    connect(cmdUpload, &QPushButton::clicked, this, &Tessaload::cmdUpload_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &Tessaload::cmdCancel_Click);
    connect(Timer1, &QTimer::timeout, this, &Tessaload::Timer1_Timer);

    setTabOrder(lvFile, cmdBrowse);
    setTabOrder(cmdBrowse, cmdDel);
    setTabOrder(cmdDel, cmdCancel);
    setTabOrder(cmdCancel, cmdUpload);
    setTabOrder(cmdUpload, cmdDown);
    setTabOrder(cmdDown, cmdUp);
    setTabOrder(cmdUp, cmdEmpty);

    setMinimumSize(MinimumWidth, MinimumHeight);
}

void Tessaload::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    UserControl_Resize(width(), height());
}

bool Tessaload::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == lvFile->viewport() && event->type() == QEvent::MouseButtonRelease) ||
        (watched == lvFile && event->type() == QEvent::KeyRelease))
        UpdateButtons();
    return QWidget::eventFilter(watched, event);
}

void Tessaload::UserControl_Resize(int wc, int hc) {
    if (wc < MinimumWidth || hc < MinimumHeight)
        return;
    cmdBrowse->move(0, 0);
    cmdDel->move(cmdBrowse->width() + Spacing, 0);
    cmdEmpty->move(cmdBrowse->width() + Spacing + cmdDel->width() + Spacing, 0);
    cmdDown->move(wc - cmdDown->width(), 0);
    cmdUp->move(cmdDown->x() - Spacing - cmdUp->width(), 0);
    lvFile->setGeometry(0, cmdBrowse->height() + Spacing, wc,
                        hc - cmdCancel->height() - Spacing - cmdBrowse->height() - Spacing);
    cmdCancel->move(wc - cmdCancel->width(), hc - cmdCancel->height());
    cmdUpload->move(cmdCancel->x() - Spacing - cmdUpload->width(), cmdCancel->y());
    lblTotal->move(0, cmdUpload->y() + 6);
    pbTotal->move(lblTotal->width() + 4, lblTotal->y());
    lvFile->setColumnWidth(FilenameColumn, std::max(150, lvFile->width() - 292 - 25));
}

void Tessaload::ApplyLanguage() {
    LoadLanguage(m_state.Texts, m_lang);
    const LangTexts& t = m_state.Texts;
    lblTotal->setText(t.LangProgressZero);
    lblTotal->adjustSize();
    cmdBrowse->setText(t.LangBrowse);
    cmdDel->setText(t.LangRemove);
    cmdEmpty->setText(t.LangEmpty);
    cmdUp->setText(t.LangUp);
    cmdDown->setText(t.LangDown);
    cmdUpload->setText(t.LangUpload);
    cmdCancel->setText(t.LangCancel);
    QTreeWidgetItem* header = lvFile->headerItem();
    header->setText(SeqColumn, t.LangSeq);
    header->setText(FilenameColumn, t.LangFilename);
    header->setText(FilesizeColumn, t.LangFilesize);
    header->setText(ProgressColumn, t.LangProgressHead);
    header->setText(StatusColumn, t.LangStatus);
}

void Tessaload::BuildProgressImages() {
    const int w = SurfaceWidth - 2 * SurfaceBorder;
    const int h = SurfaceHeight - 2 * SurfaceBorder;
    m_pictureWidth = w;
    QFont font(QStringLiteral("Verdana"));
    font.setPointSizeF(8.25);
    font.setBold(true);
    const QFontMetrics metrics(font);
    const QColor face = palette().color(QPalette::Button);
    m_pictures.clear();
    m_icons.clear();
    m_pictures.reserve(w + 1);
    for (int i = 0; i <= w; ++i) {
        QPixmap picture(w, h);
        picture.fill(face);
        QPainter painter(&picture);
        if (i > 0)
            painter.fillRect(0, 0, i, h, BarColour);
        const QString text = QString::number(RoundHalfEven(double(i) / w * 100)) + QLatin1Char('%');
        painter.setFont(font);
        painter.setPen(Qt::black);
        const int x = w / 2 - metrics.horizontalAdvance(text) / 2;
        const int y = h / 2 - metrics.height() / 2;
        painter.drawText(QRect(x, y, w, metrics.height()), Qt::AlignLeft | Qt::AlignTop, text);
        painter.drawLine(0, 0, w, 0);
        painter.drawLine(0, h - 1, w, h - 1);
        painter.drawLine(w - 1, 0, w - 1, h);
        painter.drawLine(0, 0, 0, h);
        painter.end();
        m_pictures.append(picture);
        // The list is disabled during a run, and its progress must stay readable then.
        QIcon icon;
        for (const QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled, QIcon::Selected})
            icon.addPixmap(picture, mode);
        m_icons.append(icon);
    }
}

qint32 Tessaload::ProgressPictureNumber(double fraction) const {
    const double p = fraction > 1 ? 1 : fraction;
    return static_cast<qint32>(RoundHalfEven(p * m_pictureWidth)) + 1;
}

QString Tessaload::statusText(const QString& status) const {
    const LangTexts& t = m_state.Texts;
    if (status == QLatin1String("wait"))
        return t.LangWaiting;
    if (status == QLatin1String("uploading"))
        return t.LangUploading;
    if (status == QLatin1String("ok"))
        return t.LangSuccess;
    if (status == QLatin1String("errorupload"))
        return t.LangFailure;
    if (status == QLatin1String("cancel"))
        return t.LangCancelled;
    return QString();
}

void Tessaload::AddRow(qint32 index) {
    const UploadItem& item = m_state.Queue.items.at(index);
    auto* row = new QTreeWidgetItem(lvFile);
    row->setText(SeqColumn, QString::number(index));
    row->setText(FilenameColumn, item.ShortName);
    row->setText(FilesizeColumn, item.SizeText);
    if (!m_icons.isEmpty())
        row->setIcon(ProgressColumn, m_icons.first());
    row->setText(StatusColumn, m_state.Texts.LangWaiting);
    for (int c = MainColumn; c <= StatusColumn; ++c)
        row->setTextAlignment(c, ColumnAlignment[c] | Qt::AlignVCenter);
    // A filled list always has a selected row; the first until the user picks another.
    if (!lvFile->currentItem())
        lvFile->setCurrentItem(row);
}

void Tessaload::RebuildList() {
    lvFile->clear();
    for (qint32 i = 1; i <= m_state.Queue.count(); ++i)
        AddRow(i);
}

void Tessaload::RefreshRow(qint32 index, double fraction) {
    QTreeWidgetItem* row = lvFile->topLevelItem(index - 1);
    UploadItem& item = m_state.Queue.items[index];
    if (row) {
        const qint32 number = ProgressPictureNumber(fraction);
        if (number >= 1 && number <= m_icons.size())
            row->setIcon(ProgressColumn, m_icons.at(number - 1));
        const QString text = statusText(item.Status);
        if (!text.isEmpty())
            row->setText(StatusColumn, text);
    }
    item.RowDirty = false;
}

qint32 Tessaload::SelectedRow() const {
    QTreeWidgetItem* current = lvFile->currentItem();
    return current ? static_cast<qint32>(lvFile->indexOfTopLevelItem(current)) + 1 : 0;
}

void Tessaload::selectRow(qint32 row) {
    if (QTreeWidgetItem* item = lvFile->topLevelItem(row - 1))
        lvFile->setCurrentItem(item);
}

void Tessaload::UpdateButtons() {
    const qint32 n = m_state.Queue.count();
    const qint32 s = n >= 1 ? SelectedRow() : 0;
    cmdUpload->setEnabled(n > 0);
    cmdDel->setEnabled(n > 0);
    cmdEmpty->setEnabled(n > 0);
    cmdUp->setEnabled(s > 1);
    cmdDown->setEnabled(s < n);
}

void Tessaload::EnableControls(bool enabled) {
    for (QWidget* part : std::initializer_list<QWidget*>{cmdBrowse, cmdDel, cmdEmpty, cmdUp,
                                                         cmdDown, lvFile, cmdUpload})
        part->setEnabled(enabled);
}

void Tessaload::ShowTotals(bool showIndex) {
    const TransferState& t = m_state.Transfer;
    qint64 index = 0;
    if (showIndex)
        index = std::min(t.DoneFiles + 1, t.TotalFiles);
    qint64 percent = 0;
    if (t.TotalBytes != 0)
        percent = std::min<qint64>(
            100, RoundHalfEven(double(t.DoneBytes + t.CurrentBytes) / double(t.TotalBytes) * 100));
    QString text = m_state.Texts.LangProgress;
    text.replace(QStringLiteral("{index}"), QString::number(index));
    text.replace(QStringLiteral("{count}"), QString::number(t.TotalFiles));
    text.replace(QStringLiteral("{percent}"), QString::number(percent));
    lblTotal->setText(text);
    lblTotal->adjustSize();
    pbTotal->setValue(static_cast<int>(percent));
    pbTotal->move(lblTotal->width() + 4, pbTotal->y());
}

void Tessaload::RecalcTotals() {
    TransferState& t = m_state.Transfer;
    t.TotalFiles = t.TotalBytes = t.DoneFiles = t.DoneBytes = 0;
    const QList<UploadItem>& items = m_state.Queue.items;
    for (qsizetype i = 1; i < items.size(); ++i) {
        if (!items[i].Included)
            continue;
        ++t.TotalFiles;
        t.TotalBytes += items[i].ByteSize;
        if (items[i].Status == QLatin1String("ok")) {
            ++t.DoneFiles;
            t.DoneBytes += items[i].ByteSize;
        }
    }
    t.CurrentBytes = 0;
    ShowTotals(false);
}
