#include "uploader/modLang.h"

#include <array>

namespace {

// One column of the table, in the order of LangTexts.
using Column = std::array<const char*, 26>;

const Column SimplifiedChinese = {
    "图片文件",
    "Flash文件",
    "媒体文件",
    "附件文件",
    "{count}个文件被过滤，原因：文件大小超过限制或文件类型不被允许！",
    "提示",
    "等待上传",
    "上传成功",
    "上传失败",
    "..取消..",
    ".上传中.",
    "有 {count} 个文件上传失败！是否重试？",
    "总进度：第{index}个/共{count}个 {percent}%",
    "总进度：第0个/共0个 0%",
    "序号",
    "文件名",
    "文件大小",
    "上传进度",
    "状态",
    "浏览...",
    "移除",
    "清空",
    "上移",
    "下移",
    "上传",
    "取消",
};

const Column TraditionalChinese = {
    "圖片檔案",
    "Flash檔案",
    "媒體檔案",
    "附加檔案檔案",
    "{count}個檔案被過濾，原因：檔案大小超過限制或檔案類型不被允許！",
    "提示",
    "等待上傳",
    "上傳成功",
    "上傳失敗",
    "..取消..",
    ".上傳中.",
    "有 {count} 個檔案上傳失敗！是否重試？",
    "總進度：第{index}個/共{count}個 {percent}%",
    "總進度：第0個/共0個 0%",
    "序號",
    "檔名",
    "檔案大小",
    "上傳進度",
    "狀態",
    "瀏覽...",
    "移除",
    "清空",
    "上移",
    "下移",
    "上傳",
    "取消",
};

const Column English = {
    "Image",
    "Flash",
    "Media",
    "File",
    "{count} files have been filtered: file size too large or file extension not allowed!",
    "Notice",
    "Waiting",
    "Success",
    "Failure",
    ".Cancel.",
    "Uploading",
    "{count} files fail! Do you want to retry?",
    "Progress: {index}/{count} {percent}%",
    "Progress:0/0 0%",
    "Seq",
    "Filename",
    "Filesize",
    "Progress",
    "Status",
    "Browse..",
    "Remove",
    "Empty",
    "Up",
    "Down",
    "Upload",
    "Cancel",
};

void Fill(LangTexts& t, const Column& c) {
    QString* const fields[] = {
        &t.LangImage,    &t.LangFlash,        &t.LangMedia,     &t.LangFile,
        &t.LangFiltered, &t.LangNotice,       &t.LangWaiting,   &t.LangSuccess,
        &t.LangFailure,  &t.LangCancelled,    &t.LangUploading, &t.LangRetryPrompt,
        &t.LangProgress, &t.LangProgressZero, &t.LangSeq,       &t.LangFilename,
        &t.LangFilesize, &t.LangProgressHead, &t.LangStatus,    &t.LangBrowse,
        &t.LangRemove,   &t.LangEmpty,        &t.LangUp,        &t.LangDown,
        &t.LangUpload,   &t.LangCancel};
    static_assert(std::size(fields) == std::tuple_size_v<Column>);
    for (std::size_t i = 0; i < c.size(); ++i)
        *fields[i] = QString::fromUtf8(c[i]);
}

} // namespace

void LoadLanguage(LangTexts& texts, const QString& code) {
    if (code == QLatin1String("zh-cn"))
        Fill(texts, SimplifiedChinese);
    else if (code == QLatin1String("zh-tw"))
        Fill(texts, TraditionalChinese);
    else if (code == QLatin1String("en"))
        Fill(texts, English);
}
