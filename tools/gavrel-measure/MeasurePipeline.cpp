#include "MeasurePipeline.h"

// Standard library
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

// Qt
#include <QCryptographicHash>
#include <QFileInfo>

// Ours
#include "CircleMeasurement.h"
#include "ImageLoading.h"
#include "InputSource.h"
#include "KeshImage.h"

namespace {

// Inputs in flight per job: enough to keep every job busy while the oldest is written.
constexpr std::size_t kInFlightPerJob = 4;

QString failureText(const QString& text, int code) {
    return QStringLiteral("%1 (ErrCode=%2)").arg(text).arg(code);
}

// Hashed here, on the measuring threads, rather than on the writer's one thread.
JudgedImage judged(const MeasureInput& input, const KeshImage& image,
                   const MeasureOptions& options) {
    JudgedImage judged;
    if (input.frame) {
        judged.source = QFileInfo(options.cameraConfig).absoluteFilePath();
        judged.frame = input.frameNumber;
    } else {
        judged.source = QFileInfo(input.path).absoluteFilePath();
    }
    judged.pixels = QByteArray(reinterpret_cast<const char*>(image.bufferAddress()),
                               image.bytesPerLine() * image.height());
    judged.width = image.width();
    judged.height = image.height();
    judged.sha256 = QString::fromLatin1(
        QCryptographicHash::hash(judged.pixels, QCryptographicHash::Sha256).toHex());
    return judged;
}

MeasuredInput measured(const MeasureInput& input, const KeshImage& image, bool converted,
                       const MeasureOptions& options) {
    MeasuredInput result{
        CircleMeasurement::measure(input.source, image, converted, options), {}, {}};
    if (!options.database.isEmpty()) {
        result.image = judged(input, image, options);
    }
    for (const MeasurementRow& row : result.rows) {
        if (row.verdict == RowVerdict::Error) {
            result.failure = QStringLiteral("a circle covers no pixel of the image");
        }
    }
    return result;
}

} // namespace

MeasurePipeline::MeasurePipeline(const MeasureOptions& options) : options_(options) {}

MeasuredInput MeasurePipeline::measure(const MeasureInput& input, const MeasureOptions& options) {
    try {
        if (input.errorCode != 0) {
            return {CircleMeasurement::failed(input.source, options),
                    failureText(input.errorText, input.errorCode),
                    {}};
        }
        if (input.frame) {
            return measured(input, *input.frame, false, options);
        }
        const LoadedImage loaded = ImageLoading::readFile(input.file);
        if (loaded.errorCode != 0) {
            return {CircleMeasurement::failed(input.source, options),
                    failureText(ImageLoading::errorText(loaded.errorCode), loaded.errorCode),
                    {}};
        }
        return measured(input, loaded.image, loaded.converted, options);
    } catch (const std::exception& error) {
        return {CircleMeasurement::failed(input.source, options),
                QString::fromLocal8Bit(error.what()),
                {}};
    }
}

void MeasurePipeline::run(InputSource& inputs, const Sink& sink) const {
    struct Slot {
        MeasureInput input;
        std::optional<MeasuredInput> result;
    };
    const std::size_t window = static_cast<std::size_t>(options_.jobs) * kInFlightPerJob;
    std::mutex mutex;
    std::condition_variable workArrived;
    std::condition_variable resultArrived;
    std::vector<Slot> inFlight(window);
    std::deque<std::uint64_t> queue;
    bool closing = false;

    auto work = [&] {
        std::unique_lock lock(mutex);
        while (true) {
            workArrived.wait(lock, [&] { return closing || !queue.empty(); });
            if (queue.empty()) {
                return;
            }
            Slot& slot = inFlight[queue.front() % window];
            queue.pop_front();
            const MeasureInput input = std::move(slot.input);
            lock.unlock();
            MeasuredInput result = measure(input, options_);
            lock.lock();
            slot.result = std::move(result);
            resultArrived.notify_all();
        }
    };
    std::vector<std::jthread> workers;
    for (int job = 0; job < options_.jobs; ++job) {
        workers.emplace_back(work);
    }
    // Declared after the workers, so it lets them finish before they are joined, even when
    // the sink or the inputs throw.
    struct CloseOnExit {
        std::mutex& mutex;
        bool& closing;
        std::condition_variable& workArrived;
        ~CloseOnExit() {
            {
                const std::lock_guard lock(mutex);
                closing = true;
            }
            workArrived.notify_all();
        }
    } closeOnExit{mutex, closing, workArrived};

    std::uint64_t submitted = 0;
    std::uint64_t written = 0;
    bool ended = false;
    while (true) {
        while (!ended && submitted - written < window) {
            std::optional<MeasureInput> input = inputs.next();
            if (!input) {
                ended = true;
                break;
            }
            {
                const std::lock_guard lock(mutex);
                inFlight[submitted % window] = Slot{std::move(*input), std::nullopt};
                queue.push_back(submitted);
            }
            ++submitted;
            workArrived.notify_one();
        }
        if (written == submitted) {
            break;
        }
        MeasuredInput result;
        {
            std::unique_lock lock(mutex);
            Slot& oldest = inFlight[written % window];
            resultArrived.wait(lock, [&] { return oldest.result.has_value(); });
            result = std::move(*oldest.result);
            oldest.result.reset();
        }
        ++written;
        sink(std::move(result));
    }
}
