#pragma once

#include "common/ScriptError.h"

#include <QString>
#include <utility>

// Office steps do not stop at a failure: each failure is recorded and only looked at at
// the converter's checkpoints, which see the most recent one.
class StepFailures {
public:
    template <class Step> auto run(Step&& step) -> decltype(step()) {
        try {
            return std::forward<Step>(step)();
        } catch (const ScriptError& error) {
            m_failed = true;
            m_description = error.description();
            return decltype(step())();
        }
    }
    bool failed() const { return m_failed; }
    const QString& description() const { return m_description; }
    void clear() {
        m_failed = false;
        m_description.clear();
    }

private:
    bool m_failed = false;
    QString m_description;
};

// The picture type of "imgtype": gif and png (exact) stay, everything else is jpg.
QString PictureTypeOption(const QString& s_Opt);
// `<img src="path" border=0><br>`
QString PictureLine(const QString& path);
