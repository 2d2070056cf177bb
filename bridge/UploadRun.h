#pragma once

#include <QString>

struct CallState;

// One upload run over the page's Body: find the local references of the mode, send each
// file in turn (UploadFile) and rewrite the accepted references at the end.
void StartRun(CallState& s, const QString& mode);
void CollectLocalFiles(CallState& s);
void UploadNext(CallState& s);
void FinishUpload(CallState& s);
// Ends the page's request without aborting it and detaches its handler (object end).
void ReleaseUploadRequest(CallState& s);
