#include "capture/CaptureTexts.h"

PromptTexts PromptTextsFor(const QString& lang) {
    if (lang == QLatin1String("zh-cn"))
        return {QStringLiteral("截屏"), QStringLiteral("请将您要截取的窗口调到最前"),
                QStringLiteral("开始截屏")};
    if (lang == QLatin1String("zh-tw"))
        return {QStringLiteral("截屏"), QStringLiteral("請將您要截取的視窗調到最前"),
                QStringLiteral("開始截屏")};
    return {QStringLiteral("Capture"),
            QStringLiteral("Bring the window you want to capture to the front"),
            QStringLiteral("Capture")};
}

QString HintTextFor(const QString& lang, bool selectionMade) {
    QString first;
    QString second;
    if (lang == QLatin1String("zh-cn")) {
        first = selectionMade ? QStringLiteral("双击左键完成截图")
                              : QStringLiteral("按住左键不放选择截图区域");
        second =
            selectionMade ? QStringLiteral("按右键重选截图区域") : QStringLiteral("按右键退出");
    } else if (lang == QLatin1String("zh-tw")) {
        first = selectionMade ? QStringLiteral("按兩下左鍵完成截圖")
                              : QStringLiteral("按住左鍵不放選擇截圖區域");
        second =
            selectionMade ? QStringLiteral("按右鍵重選截圖區域") : QStringLiteral("按右鍵退出");
    } else {
        first = selectionMade ? QStringLiteral("double left-click to finish")
                              : QStringLiteral("left-click and drag to select the region");
        second = QStringLiteral("right-click to cancel");
    }
    return first + QStringLiteral("\r\n") + second;
}
