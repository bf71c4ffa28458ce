#pragma once

#include <QObject>
#include <functional>
#include <string>

#include "ResolutionReporting.hpp"

namespace lumivo {

// Carries one apply's reports from the worker to the GUI thread: every log
// line and progress step is posted as a queued call on `context`, so they
// arrive in order, before the apply's result, and never after `context` is
// gone.
class PostedReports : public ResolutionReporting {
  public:
    using LogSink = std::function<void(const std::string& message)>;
    using ProgressSink = std::function<void(const std::string& title, int percent)>;

    PostedReports(QObject* context, LogSink log, ProgressSink progress)
        : context_(context), log_(std::move(log)), progress_(std::move(progress)) {}

    void log(const std::string& message) override;
    void downloadProgress(const std::string& title, int percent) override;

  private:
    QObject* context_;
    LogSink log_;
    ProgressSink progress_;
};

}  // namespace lumivo
