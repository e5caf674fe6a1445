#include "xrhost/logger.h"

#include <algorithm>
#include <cstdlib>
#include <strings.h>

#include "xrhost/format.h"
#include "xrhost/host.h"
#include "xrhost/message.h"

namespace xrhost {
namespace {

constexpr const char* kLevelNames[] = {"NULL", "ALL",   "TRACE", "DEBUG", "INFO",
                                       "WARN", "ERROR", "FATAL", "OFF",   "FORCED"};

XRZCapturedp svcCapture(Loggerp l, XRStatus status, va_list args) {
    return Logger::from(l)->capture(status, args);
}

XRZRenderedp svcRender(Loggerp l, XRLocaleh, const XRChar* msg, XRStrSize msgL, va_list args) {
    return Logger::from(l)->render(msg, msgL, args);
}

XRBoolean svcIsEnabled(Loggerp l, LoggerLevel level) {
    return Logger::from(l)->isEnabled(level);
}

void svcLogEvent(Loggerp l, LoggerLevel level, uint32_t, void*, void*, const char*, const char*,
                 NLScei, XRZRenderedp rendered, XRZCapturedp captured) {
    Logger::from(l)->logEvent(level, rendered, captured);
}

LoggerServices_S gServices = {&svcCapture, &svcRender, &svcIsEnabled, &svcLogEvent};

} // namespace

const char* levelName(LoggerLevel level) {
    const auto i = static_cast<unsigned>(level);
    if (i < std::size(kLevelNames)) return kLevelNames[i];
    thread_local char text[24];
    std::snprintf(text, sizeof text, "LEVEL %u", i);
    return text;
}

bool parseLevel(const std::string& name, LoggerLevel& level) {
    for (unsigned i = 0; i < std::size(kLevelNames); ++i)
        if (strcasecmp(name.c_str(), kLevelNames[i]) == 0) {
            level = static_cast<LoggerLevel>(i);
            return true;
        }
    char* end = nullptr;
    const unsigned long v = std::strtoul(name.c_str(), &end, 10);
    if (name.empty() || *end || v > 0xFFFFFFFFul) return false;
    level = static_cast<LoggerLevel>(v);
    return true;
}

Logger::Logger(Host& host, std::string name, Logger* parent, std::FILE* out)
    : rec_{&gServices, LL_Null, LL_Null}, host_(host), name_(std::move(name)), parent_(parent),
      out_(out) {
    if (parent_) {
        parent_->children_.push_back(this);
        defaultThreshold_ = parent_->defaultThreshold_;
    }
    refresh();
}

Logger::~Logger() {
    if (parent_) std::erase(parent_->children_, this);
    for (Logger* child : children_)
        child->parent_ = nullptr;
}

void Logger::setLevel(LoggerLevel level) {
    rec_.level = level;
    for (Logger* child : children_)
        child->refresh();
}

void Logger::refresh() {
    LoggerLevel inherited = LL_Null;
    for (const Logger* a = parent_; a && inherited == LL_Null; a = a->parent_)
        inherited = a->rec_.level;
    rec_.ancestorlevel = inherited;
    for (Logger* child : children_)
        child->refresh();
}

bool Logger::isEnabled(LoggerLevel level) const {
    return static_cast<unsigned>(level) >= static_cast<unsigned>(defaultThreshold_);
}

XRZCapturedp Logger::capture(XRStatus status, va_list args) {
    auto pool = std::make_unique<Pool>();
    XRZCapturedp c = xrhost::capture(host_.catalog(), pool->handle(), status, args);
    if (c) captures_.emplace(c, std::move(pool));
    return c;
}

XRZRenderedp Logger::render(const XRChar* msg, XRStrSize msgL, va_list args) {
    if (!msg && msgL > 0) return nullptr;
    XRText text;
    formatTo(text, msg, static_cast<std::size_t>(std::max<XRStrSize>(msgL, 0)), args);
    return makeRendered(rendered_.handle(), text);
}

void Logger::logEvent(LoggerLevel level, XRZRenderedp rendered, XRZCapturedp captured) {
    XRText text;
    if (rendered)
        text = joinLines(*rendered);
    else if (captured)
        text = renderText(host_.catalog(), *captured);
    std::string line = std::string("[") + levelName(level) + "] " + toUtf8(text);
    if (captured) captures_.erase(captured);
    if (!out_) {
        lines_.push_back(std::move(line));
        return;
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), out_);
}

} // namespace xrhost
