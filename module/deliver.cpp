// Rendering, writing and reading, with the reasons of their failures.
#include "module/deliver.h"

#include <algorithm>
#include <new>

#include "module/failures.h"
#include "module/limits.h"
#include "module/messages.h"
#include "module/styling.h"
#include "module/symbol.h"
#include "output/image_format.h"
#include "platform/file_io.h"
#include "platform/streams.h"

namespace qr {

namespace {

Status Failed(Status status, std::string* why, const std::string& sentence) {
    if (why != nullptr) *why = sentence;
    return status;
}

// Renders `symbol` into `bytes`, checking that it fits `maxColumns` (0: any). Returns TESSERA_OK,
// or the status with one line in `message`.
Status RenderChecked(const Symbol& symbol, const OutputSettings& output, int maxColumns,
                     std::string* bytes, std::string* message) {
    const Status status = Render(symbol, output, bytes, message);
    if (status != TESSERA_OK) return status;
    const RenderOptions drawn = ResolveRenderOptions(symbol, output);
    const int columns = FormatInfo(static_cast<ImageFormat>(output.format)).columnsPerPixel *
                        drawn.scale * (symbol.size + 2 * drawn.margin);
    if (maxColumns > 0 && columns > maxColumns) {
        *message = "the symbol is " + std::to_string(columns) + " columns wide and the terminal " +
                   std::to_string(maxColumns) + ": write it to an image file instead (-o code.png)";
        return TESSERA_ERROR_CANNOT_WRITE;
    }
    return TESSERA_OK;
}

}  // namespace

RenderOptions ResolveRenderOptions(const Symbol& symbol, const OutputSettings& settings) {
    RenderOptions options;
    options.scale = settings.scale != 0
                        ? settings.scale
                        : FormatInfo(static_cast<ImageFormat>(settings.format)).defaultScale;
    options.margin = settings.margin != kDefaultSetting ? settings.margin
                     : symbol.micro                     ? kLimits.microQuietZone
                     : symbol.rmqr                      ? kLimits.rmqrQuietZone
                                                        : kLimits.quietZone;
    options.dark = settings.dark;
    options.light = settings.light;
    options.dpi = settings.dpi;
    return options;
}

Status Render(const Symbol& symbol, const OutputSettings& settings, std::string* bytes,
              std::string* why) {
    const Status checked = CheckOutputSettings(settings, why);
    if (checked != TESSERA_OK) return checked;
    const ImageFormatInfo& format = FormatInfo(static_cast<ImageFormat>(settings.format));
    if (format.writer == nullptr) {
        return Failed(TESSERA_ERROR_FORMAT_NOT_AVAILABLE, why,
                      std::string(format.name) + " output is not available in this build");
    }
    if (format.writer(symbol.size, symbol.height, symbol.modules,
                      ResolveRenderOptions(symbol, settings), bytes)) {
        return TESSERA_OK;
    }
    return Failed(TESSERA_ERROR_NO_MEMORY, why,
                  "the " + std::string(format.name) + " output cannot be made: out of memory");
}

Status SaveBytes(const char* path, const std::string& bytes, int* errorNumber,
                 const char** reason) {
    platform::WriteFailure failure = platform::WriteFailure::kOther;
    if (platform::ReplaceFile(path, bytes.data(), bytes.size(), platform::WriteOptions(),
                              &failure)) {
        return TESSERA_OK;
    }
    if (errorNumber != nullptr) *errorNumber = ErrorNumberOf(failure);
    if (reason != nullptr) *reason = WriteFailureText(failure);
    return TESSERA_ERROR_CANNOT_WRITE;
}

Status RenderWrite(const Symbol& symbol, const OutputSettings& output,
                   const Destination& destination, std::string* message) {
    std::string bytes;
    const Status status = RenderChecked(symbol, output, destination.maxColumns, &bytes, message);
    if (status != TESSERA_OK) return status;
    return WriteBytes(bytes, destination, message);
}

Status WriteBytes(const std::string& bytes, const Destination& destination, std::string* message) {
    if (destination.standardOutput) return WriteToStandardOutput(bytes, message);
    platform::WriteOptions options;
    options.streams = destination.streams;
    platform::WriteFailure failure = platform::WriteFailure::kOther;
    if (platform::ReplaceFile(destination.path.c_str(), bytes.data(), bytes.size(), options,
                              &failure)) {
        return TESSERA_OK;
    }
    return Failed(TESSERA_ERROR_CANNOT_WRITE, message,
                  CannotCreateMessage(destination.path, failure));
}

Status WriteToStandardOutput(const std::string& bytes, std::string* message) {
    platform::WriteFailure failure = platform::WriteFailure::kOther;
    if (platform::WriteStandardOutput(bytes.data(), bytes.size(), &failure)) return TESSERA_OK;
    return Failed(TESSERA_ERROR_CANNOT_WRITE, message,
                  std::string("standard output cannot be written: ") + WriteFailureText(failure));
}

Status ReadInput(const char* path, std::size_t limit, std::string* data, std::string* reason) {
    platform::InputStream stream;
    platform::ReadFailure failure = platform::ReadFailure::kNone;
    if (!stream.Open(path, &failure)) {
        return Failed(TESSERA_ERROR_NOTHING_TO_DO, reason, ReadFailureText(failure));
    }
    try {
        data->resize(limit);
    } catch (const std::bad_alloc&) {
        return Failed(TESSERA_ERROR_NO_MEMORY, reason, ReadFailureText(failure));
    }
    const long long n = stream.ReadFully(&(*data)[0], limit);
    if (n < 0) {
        data->clear();
        return Failed(TESSERA_ERROR_NOTHING_TO_DO, reason,
                      ReadFailureText(n == platform::InputStream::kInterrupted
                                          ? platform::ReadFailure::kInterrupted
                                          : platform::ReadFailure::kOther));
    }
    data->resize(static_cast<std::size_t>(n));
    return TESSERA_OK;
}

struct InputReader::Stream {
    platform::InputStream input;
};

InputReader::InputReader() : stream_(new Stream) {}

InputReader::~InputReader() = default;

bool InputReader::Open(const char* path, std::string* reason) {
    platform::ReadFailure failure = platform::ReadFailure::kNone;
    if (stream_->input.Open(path, &failure)) return true;
    *reason = ReadFailureText(failure);
    return false;
}

long long InputReader::Read(void* buffer, std::size_t count) {
    const long long n = stream_->input.Read(buffer, count);
    return n == platform::InputStream::kInterrupted ? kInterrupted : n;
}

std::size_t FilesPerWriter(std::size_t writers) {
    return platform::FilesPerGroup(writers);
}

// The platform's group and the room it keeps its files and their outcomes in.
struct GroupWriter::Group {
    Group(std::size_t capacity, const platform::WriteOptions& options)
        : slots(new platform::StagedFile[capacity]),
          files(slots.get(), capacity, options),
          results(capacity) {}

    std::unique_ptr<platform::StagedFile[]> slots;
    platform::FileGroup files;
    std::vector<platform::WriteFailure> results;
};

GroupWriter::GroupWriter(std::size_t capacity, bool makeFolders, bool eachGroup, Done done)
    : eachGroup_(eachGroup), done_(std::move(done)) {
    capacity = std::min(std::max<std::size_t>(capacity, 1), platform::FileGroup::kMaxFiles);
    platform::WriteOptions options;
    options.makeFolders = makeFolders;
    try {
        group_.reset(new Group(capacity, options));
        staged_.reserve(capacity);
    } catch (const std::bad_alloc&) {
        group_.reset();
    }
}

GroupWriter::~GroupWriter() {
    Abandon();
}

Status GroupWriter::Add(const Symbol& symbol, const OutputSettings& output, const std::string& path,
                        std::size_t id, std::string* message) {
    if (!group_) {
        *message = "the output file cannot be created: out of memory";
        return TESSERA_ERROR_NO_MEMORY;
    }
    const Status status = RenderChecked(symbol, output, 0, &bytes_, message);
    return status != TESSERA_OK ? status : AddBytes(bytes_, path, id, message);
}

Status GroupWriter::AddBytes(const std::string& bytes, const std::string& path, std::size_t id,
                             std::string* message) {
    if (!group_) {
        *message = "the output file cannot be created: out of memory";
        return TESSERA_ERROR_NO_MEMORY;
    }
    // Made before the file is staged: once it is, nothing may fail.
    std::pair<std::size_t, std::string> entry(id, path);
    platform::FileGroup& files = group_->files;
    platform::WriteFailure failure = platform::WriteFailure::kOther;
    if (!files.Full()) failure = files.Stage(path.c_str(), bytes.data(), bytes.size());
    // Out of open files: the files staged so far are committed to make room.
    if (failure == platform::WriteFailure::kTooManyFiles && eachGroup_ && Size() > 0) {
        Commit();
        failure = files.Stage(path.c_str(), bytes.data(), bytes.size());
    }
    if (failure != platform::WriteFailure::kNone) {
        *message = CannotCreateMessage(path, failure);
        return TESSERA_ERROR_CANNOT_WRITE;
    }
    staged_.push_back(std::move(entry));  // within the room reserved
    if (eachGroup_ && files.Full()) Commit();
    return TESSERA_OK;
}

void GroupWriter::Commit() {
    if (!group_) return;
    group_->files.Commit(group_->results.data());
    for (std::size_t i = 0; i < staged_.size(); ++i) {
        const platform::WriteFailure failure = group_->results[i];
        std::string message;
        try {
            if (failure != platform::WriteFailure::kNone) {
                message = CannotCreateMessage(staged_[i].second, failure);
            }
        } catch (...) {  // each file is told of all the same, without its line
        }
        done_(staged_[i].first,
              failure == platform::WriteFailure::kNone ? TESSERA_OK : TESSERA_ERROR_CANNOT_WRITE,
              message);
    }
    staged_.clear();
}

void GroupWriter::Abandon() {
    if (group_) group_->files.Abandon();
    staged_.clear();
}

}  // namespace qr
