#pragma once

#include "common/Dispatch.h"
#include "uploader/UploadState.h"

#include <QIcon>
#include <QList>
#include <QPixmap>
#include <QString>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class QTreeWidget;

// The upload control "Orvanta.Tessaload": a window with a file queue that sends every
// file to the server block by block. Page script only sets text properties and listens
// to OnUpload and OnCancel; everything else is the user's, through the window. Every
// control of one page works on that page's UploadPageState.
class Tessaload : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Version READ Version CONSTANT)

public:
    static constexpr const char* ProgId = "Orvanta.Tessaload";
    static const DispatchTable& dispatchTable();
    // The design size of a new window.
    static constexpr int DesignWidth = 520;
    static constexpr int DesignHeight = 300;
    static constexpr int MinimumWidth = 370;
    static constexpr int MinimumHeight = 120;

    // Resets the page's queue and transfer settings; `title` names the page the window
    // belongs to.
    explicit Tessaload(UploadPageState& page, const QString& title = QString(),
                       QWidget* parent = nullptr);
    ~Tessaload() override;

    QString Version() const { return QStringLiteral("3.3.0.0"); }
    Q_INVOKABLE void put_SendUrl(const QString& s_SendUrl);
    Q_INVOKABLE void put_BlockSize(const QString& s_BlockSize);
    Q_INVOKABLE void put_AllowSize(const QString& s_AllowSize);
    Q_INVOKABLE void put_AllowExt(const QString& s_AllowExt);
    Q_INVOKABLE void put_FileType(const QString& s_FileType);
    Q_INVOKABLE void put_Lang(const QString& s_Lang);
    Q_INVOKABLE void put_Charset(const QString& s_Charset);
    Q_INVOKABLE void put_MultiFile(const QString& s_MultiFile);

    // What the properties hold now.
    const QString& SendUrl() const { return m_sendUrl; }
    qint32 AllowSize() const { return m_allowSize; }
    const QString& AllowExt() const { return m_allowExt; }
    const QString& FileType() const { return m_fileType; }
    const QString& Lang() const { return m_lang; }
    bool MultiFile() const { return m_multiFile; }
    UploadPageState& page() { return m_state; }

    // The buttons, as the user presses them.
    void cmdBrowse_Click();
    void cmdDel_Click();
    void cmdEmpty_Click();
    void cmdUp_Click();
    void cmdDown_Click();
    void cmdUpload_Click();
    void cmdCancel_Click();
    void Timer1_Timer();

    // Appends the file when it passes the extension, existence and size filters; raises
    // the large-file class's error when the file cannot be measured.
    bool AddFile(const QString& path);
    // "path::reply" of every finished file in queue order, joined by "|".
    QString GetResultList() const;

    // The window's parts.
    void UserControl_Resize(int width, int height);
    void ApplyLanguage();
    void AddRow(qint32 index);
    void RebuildList();
    void RefreshRow(qint32 index, double fraction);
    void UpdateButtons();
    void EnableControls(bool enabled);
    void ShowTotals(bool showIndex);
    void RecalcTotals();
    // The 1-based number of the progress picture for a fraction of a file.
    qint32 ProgressPictureNumber(double fraction) const;
    int ProgressPictureWidth() const { return m_pictureWidth; }
    const QList<QPixmap>& ProgressPictures() const { return m_pictures; }
    qint32 SelectedRow() const;

signals:
    void OnCancel(const QString& s_Flag);
    void OnUpload(const QString& s_Flag, const QString& s_Value);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildWindow();
    void BuildProgressImages();
    void selectRow(qint32 row);
    QString statusText(const QString& status) const;
    void emptyQueue();
    bool timerActive() const;

    UploadPageState& m_state;

    QString m_sendUrl;
    qint32 m_allowSize = 100;
    QString m_allowExt = QStringLiteral("jpg|gif|png");
    QString m_fileType = QStringLiteral("image");
    QString m_lang = QStringLiteral("zh-cn");
    bool m_multiFile = true;
    qint32 m_firstPendingRow = 1;

    QPushButton* cmdBrowse = nullptr;
    QPushButton* cmdDel = nullptr;
    QPushButton* cmdEmpty = nullptr;
    QPushButton* cmdUp = nullptr;
    QPushButton* cmdDown = nullptr;
    QPushButton* cmdUpload = nullptr;
    QPushButton* cmdCancel = nullptr;
    QTreeWidget* lvFile = nullptr;
    QLabel* lblTotal = nullptr;
    QProgressBar* pbTotal = nullptr;
    QTimer* Timer1 = nullptr;
    QList<QPixmap> m_pictures; // the image list of the progress column
    QList<QIcon> m_icons;      // the same pictures as the list shows them
    int m_pictureWidth = 0;
};
