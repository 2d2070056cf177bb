#pragma once

#include <QString>

// Every text the upload control shows, in the current language.
struct LangTexts {
    QString LangImage, LangFlash, LangMedia, LangFile, LangFiltered, LangNotice, LangWaiting,
        LangSuccess, LangFailure, LangCancelled, LangUploading, LangRetryPrompt, LangProgress,
        LangProgressZero, LangSeq, LangFilename, LangFilesize, LangProgressHead, LangStatus,
        LangBrowse, LangRemove, LangEmpty, LangUp, LangDown, LangUpload, LangCancel;
};

// Fills every text for "zh-cn", "zh-tw" or "en" (exact); any other code changes nothing.
void LoadLanguage(LangTexts& texts, const QString& code);
