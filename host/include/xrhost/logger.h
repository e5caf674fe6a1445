// The reference host's loggers: a tree of named loggers, each with an optional level
// of its own, writing one line per event to a FILE* or keeping it in memory.
//
// Levels. `level` is the logger's own threshold (LL_Null: none); `ancestorlevel` is
// the own level of the nearest ancestor that has one (LL_Null: none), kept up to date
// whenever a level in the chain changes. An event at level L passes a threshold T when
// L >= T (unsigned). IsEnabled, which callers ask only when neither is set, compares
// with the tree's default threshold (LL_Info unless changed).
//
// Events. LogEvent writes one line: the level's name in brackets, a blank and the
// message: the rendered record's lines (joined by '\n') when there is one, otherwise
// the captured record rendered through the host's catalog. The captured record is
// handed over: the logger releases it after the event. LogEvent filters nothing.
//
//   [DEBUG] 00005612a4c0e2a0  48 65 6c 6c 6f ...  |Hello|
//
// Level names: NULL ALL TRACE DEBUG INFO WARN ERROR FATAL OFF FORCED (LL_Uninitialized,
// the level of forced dumps), and "LEVEL n" for any other value.
#pragma once

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "xr/xrhost.h"
#include "xrhost/pool.h"

namespace xrhost {

class Host;

const char* levelName(LoggerLevel level);
// The level named name (case-blind, as levelName spells it, or a number); false if none.
bool parseLevel(const std::string& name, LoggerLevel& level);

class Logger {
  public:
    // A root logger (parent null) or a child of parent; writes to out, or keeps the
    // lines in memory when out is null.
    Logger(Host& host, std::string name, Logger* parent = nullptr, std::FILE* out = nullptr);
    ~Logger();
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    Loggerp handle() { return &rec_; }
    static Logger* from(Loggerp l) { return reinterpret_cast<Logger*>(l); }

    void setLevel(LoggerLevel level); // LL_Null clears it
    LoggerLevel level() const { return rec_.level; }
    LoggerLevel ancestorLevel() const { return rec_.ancestorlevel; }
    // The threshold IsEnabled applies, for this logger and all below it.
    void setDefaultThreshold(LoggerLevel level) { defaultThreshold_ = level; }
    bool isEnabled(LoggerLevel level) const;

    const std::vector<std::string>& lines() const { return lines_; }
    std::size_t liveCaptures() const { return captures_.size(); }
    const std::string& name() const { return name_; }

    // The services, also reachable through handle()->logSvcs.
    XRZCapturedp capture(XRStatus status, va_list args);
    XRZRenderedp render(const XRChar* msg, XRStrSize msgL, va_list args);
    void logEvent(LoggerLevel level, XRZRenderedp rendered, XRZCapturedp captured);

  private:
    Logger_S rec_; // first member: the handle is the object's address
    Host& host_;
    std::string name_;
    Logger* parent_;
    std::vector<Logger*> children_;
    std::FILE* out_;
    LoggerLevel defaultThreshold_ = LL_Info;
    std::vector<std::string> lines_;
    Pool rendered_; // RenderV's records live as long as the logger
    std::map<XRZCapturedp, std::unique_ptr<Pool>> captures_;
    void refresh(); // recomputes ancestorlevel here and below
};

} // namespace xrhost
