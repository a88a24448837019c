#include "files/config_file_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string_view>

#include "files/config_file.h"
#include "files/ini.h"
#include "files/sha256.h"

namespace keelsong {

namespace {

constexpr char kCannotOpen[] = "Failed to open file";
constexpr char kCannotRead[] = "Failed to read from file";
constexpr char kBadEvents[] = "Error reading events from file";

class ReadOnlyFile {
  public:
    // Only a regular file counts as opened. A device is not even opened (opening a serial
    // port may reset what hangs on it), and the open does not wait, so that a FIFO put in the
    // file's place meanwhile cannot hold the program either.
    explicit ReadOnlyFile(const std::string& path) {
        struct stat named {};
        if (::stat(path.c_str(), &named) != 0 || !S_ISREG(named.st_mode)) {
            return;
        }
        do {
            fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        } while (fd_ < 0 && errno == EINTR);
        struct stat info {};
        if (fd_ >= 0 && (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode))) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~ReadOnlyFile() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    bool IsOpen() const { return fd_ >= 0; }

    // Every byte as it stands (no line-end translation); false on a read error.
    bool ReadAll(std::string& bytes) {
        char buffer[16 * 1024];
        for (;;) {
            const ssize_t got = ::read(fd_, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0) {
                return false;
            }
            if (got == 0) {
                return true;
            }
            bytes.append(buffer, static_cast<size_t>(got));
        }
    }

  private:
    int fd_ = -1;
};

ConfigFileRead Failure(const char* message) {
    return {std::nullopt, message};
}

std::vector<std::string> DuplicateSections(const IniDocument& document) {
    // A sorted document keeps sections of one name next to each other, the first read first.
    std::vector<std::string> duplicates;
    const IniSection* previous = nullptr;
    for (const IniSection& section : document.sections()) {
        if (previous && IniCompareNames(previous->name, section.name) == 0 &&
            (duplicates.empty() || IniCompareNames(duplicates.back(), section.name) != 0)) {
            duplicates.push_back(section.name);
        }
        previous = &section;
    }
    return duplicates;
}

ConfigFileRead ReadConfiguration(std::string_view bytes) {
    std::unique_ptr<IniDocument> document = Ini_New(1);
    if (!document) {
        return Failure(kCannotOpen);
    }
    // Any text reads as INI; one without a configuration's sections is not taken as an empty
    // table.
    if (document->ReadFromText(bytes) != 0 || !IsConfigurationDocument(*document)) {
        return Failure(kCannotRead);
    }
    std::optional<ConfigFileContents> contents = ContentsOfDocument(*document);
    if (!contents) {
        return Failure(kBadEvents);
    }
    return {std::move(contents), {}};
}

}  // namespace

std::optional<ConfigFileContents> ContentsOfDocument(const IniDocument& document) {
    ConfigEventSlots slots;
    if (ReadConfigEvents(document, slots) != 0) {
        return std::nullopt;
    }
    ConfigFileContents contents;
    for (const EventRecord& slot : slots) {
        if (slot.type == TypeCode(EventType::None)) {
            break;
        }
        contents.events.push_back(slot);
    }
    contents.setup = ReadConfigSetup(document);
    contents.duplicate_sections = DuplicateSections(document);
    contents.provenance = ReadConfigProvenance(document);
    return contents;
}

ConfigFileRead ReadConfigurationFile(const std::string& path) {
    std::string bytes;
    {
        ReadOnlyFile file(path);
        if (!file.IsOpen()) {
            return Failure(kCannotOpen);
        }
        if (!file.ReadAll(bytes)) {
            return Failure(kCannotRead);
        }
    }
    // An empty file has no first byte to tell the two kinds apart: it is neither.
    if (bytes.empty()) {
        return Failure(kCannotRead);
    }
    ConfigFileRead read;
    if (!IsOldEventTableFile(static_cast<uint8_t>(bytes.front()))) {
        read = ReadConfiguration(bytes);
    } else {
        ConfigFileContents& contents = read.contents.emplace();
        contents.kind = ConfigFileKind::OldEventTable;
        contents.events = ReadOldEventTable(
            std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    }
    if (read.contents) {
        read.contents->sha256 = Sha256Hex(bytes);
    }
    return read;
}

std::optional<std::string> UnsendableEvent(const ConfigFileContents& contents) {
    for (size_t k = 0; k < contents.events.size(); ++k) {
        const int32_t type = contents.events[k].type;
        const bool empty_row =
            contents.kind == ConfigFileKind::OldEventTable && type == TypeCode(EventType::None);
        if (!empty_row &&
            (type < TypeCode(EventType::ToneCycles) || type > TypeCode(EventType::ToneSeconds))) {
            char text[96];
            std::snprintf(text, sizeof text, "%s cannot be sent: Type %u is not an event type",
                          ConfigEventSection(static_cast<int>(k + 1)).c_str(),
                          static_cast<unsigned>(type));
            return text;
        }
    }
    return std::nullopt;
}

}  // namespace keelsong
