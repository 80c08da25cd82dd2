#pragma once

#include <QString>

// The activity log: a plain-text trace of handlers entering and leaving,
// "Log.txt" in the per-user data folder.  One program-wide state.
extern bool LogOn;
extern quint8 LogDepth;
extern quint8 LogStep;
extern QString LogFile;

// Appends one entry (time stamp, LogDepth spaces, message) when LogOn.
// A file that cannot be opened or written gives the 440 Hz failure tone.
void WriteLog(const QString& message);
// Starts a fresh log "Log.txt" in `folder` (ending in "/").
void ResetLog(const QString& folder);

// The handler pattern: "<window>.<handler> - begin" on entry, indented one
// LogStep deeper for what runs inside, and "- einde" (plus `endSuffix`) on exit.
class LogScope {
public:
    LogScope(const char* window, const char* handler);
    ~LogScope();
    LogScope(const LogScope&) = delete;
    LogScope& operator=(const LogScope&) = delete;

    // Text appended to the end entry, e.g. ", iCount = 3".
    void setEndSuffix(const QString& suffix) { m_suffix = suffix; }
    // Writes "<window>.<handler> - <word>" as the closing entry now (instead of "einde").
    void endWith(const QString& word);

private:
    QString m_name;
    QString m_suffix;
    bool m_ended = false;
};
