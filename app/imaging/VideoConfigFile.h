#pragma once

// Standard library
#include <optional>

// Qt
#include <QString>

// A camera configuration: the [Video] group of a small .ini file naming a GStreamer
// source and, optionally, how it is fitted to the frame and how long to wait for it.
//
//   [Video]
//   Pipeline=videotestsrc pattern=ball is-live=true
//   Fit=crop
//   OpenTimeoutMs=5000
//   CaptureTimeoutMs=2000
//   CloseTimeoutMs=2000
//
// Fit is crop (the default) or stretch. In Pipeline, $(IniFolder) and $(ProgramFolder) stand for
// the folder of the .ini file and the program's folder, escaped for use inside double quotes.
class VideoConfigFile {
public:
    enum class Result {
        Ok,
        Unreadable, // missing, a folder, too large or unreadable
        NoPipeline, // no [Video] Pipeline= with a value
    };

    enum class Fit {
        Crop,    // centre crop to 512:480, then scale: shapes stay true
        Stretch, // scale the whole frame to 512 x 480
    };

    // Files larger than this are not configuration files.
    static constexpr qint64 kMaxFileSize = 64 * 1024;
    static constexpr int kMaxTimeoutMs = 60000;

    // $(ProgramFolder) stands for `programFolder`.
    static VideoConfigFile read(const QString& path, const QString& programFolder);
    static VideoConfigFile parse(const QString& text, const QString& iniFolder,
                                 const QString& programFolder);

    Result result() const { return result_; }
    const QString& pipeline() const { return pipeline_; }
    Fit fit() const { return fit_; }
    std::optional<int> openTimeoutMs() const { return openTimeoutMs_; }
    std::optional<int> captureTimeoutMs() const { return captureTimeoutMs_; }
    std::optional<int> closeTimeoutMs() const { return closeTimeoutMs_; }

private:
    static QString expandPlaceholders(QString text, const QString& iniFolder,
                                      const QString& programFolder);
    static std::optional<int> parseTimeout(const QString& value);

    Result result_ = Result::Unreadable;
    QString pipeline_;
    Fit fit_ = Fit::Crop;
    std::optional<int> openTimeoutMs_;
    std::optional<int> captureTimeoutMs_;
    std::optional<int> closeTimeoutMs_;
};
