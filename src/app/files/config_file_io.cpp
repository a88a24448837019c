#include "app/files/config_file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "app/events/event_grid.h"
#include "app/setup/setup_panel.h"
#include "app/shell/change_marks.h"
#include "app/shell/edit_history.h"
#include "app/shell/program.h"
#include "app/unit/stand_in_unit.h"
#include "files/config_file.h"

namespace keelsong {

namespace {

constexpr char kPattern[] = "*.tlk";

// Shows the wait cursor for as long as it lives.
class WaitCursor {
  public:
    explicit WaitCursor(Ui& ui) : ui_(ui) { ui_.SetWaitCursor(true); }
    ~WaitCursor() { ui_.SetWaitCursor(false); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

  private:
    Ui& ui_;
};

// A file opened for reading, closed when it goes.
class InputFile {
  public:
    // Only a regular file counts as opened: a folder or a device is no configuration.
    explicit InputFile(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
        struct stat info {};
        if (fd_ >= 0 && (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode))) {
            Close();
        }
    }
    ~InputFile() { Close(); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool IsOpen() const { return fd_ >= 0; }

    // Up to `limit` bytes from the current position, as they stand (no line-end translation);
    // fewer only at the end of the file. nullopt on a read error.
    std::optional<std::vector<uint8_t>> Read(size_t limit) {
        std::vector<uint8_t> bytes(limit);
        size_t have = 0;
        while (have < limit) {
            const ssize_t got = ::read(fd_, bytes.data() + have, limit - have);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0) {
                return std::nullopt;
            }
            if (got == 0) {
                break;
            }
            have += static_cast<size_t>(got);
        }
        bytes.resize(have);
        return bytes;
    }

    bool Rewind() { return ::lseek(fd_, 0, SEEK_SET) == 0; }

    void Close() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

  private:
    int fd_;
};

void SaveConfigFile(Program& program) {
    const FileSelection chosen = program.GetUi().FileSelectPopup(program.Settings().ConfigFolder(),
                                                                 kPattern, "Save File", true);
    if (chosen.choice == FileChoice::Cancelled) {
        return;
    }
    program.Settings().ConfigFolder() = chosen.path;
    SaveConfigurationFile(program, chosen.path);
}

// The older binary file: the grid only, nothing marked changed.
int LoadOldEventTable(Program& program, InputFile& file) {
    std::optional<std::vector<uint8_t>> bytes;
    if (file.Rewind()) {
        bytes = file.Read(kOldEventTableMaxBytes);
    }
    file.Close();
    if (!bytes) {
        program.ShowStatusMessage(false, "Failed to read from file");
        return -1;
    }
    const std::vector<EventRecord> records = ReadOldEventTable(*bytes);
    GoByUnitHolding(program, records);
    EmptyEventGrid(program);
    for (size_t k = 0; k < records.size(); ++k) {
        EventToRow(program, records[k].body, records[k].type, static_cast<uint8_t>(k + 1));
    }
    ClearEditHistory(program);
    program.ShowStatusMessage(true, "Event table read from file");
    return 0;
}

int LoadTlkFile(Program& program, const std::string& path) {
    std::unique_ptr<IniDocument> document = Ini_New(1);
    if (!document) {
        program.ShowStatusMessage(false, "Failed to open file");
        return -1;
    }
    // Any text reads as INI; one without a configuration's sections is not taken as an empty
    // table.
    if (document->ReadFromFile(path) != 0 || !IsConfigurationDocument(*document)) {
        program.ShowStatusMessage(false, "Failed to read from file");
        return -1;
    }
    ConfigEventSlots slots;
    if (ReadConfigEvents(*document, slots) != 0) {
        program.ShowStatusMessage(false, "Error reading events from file");
        return -1;
    }
    const std::vector<uint8_t> setup = ReadConfigSetup(*document);

    // Loading stops at the first empty slot: the events after it are never shown.
    const auto shown = std::find_if(slots.begin(), slots.end(), [](const EventRecord& event) {
        return event.type == TypeCode(EventType::None);
    });
    GoByUnitHolding(program, std::span<const EventRecord>(slots.begin(), shown));
    EmptyEventGrid(program);
    for (size_t k = 0; k < slots.size() && slots[k].type != TypeCode(EventType::None); ++k) {
        EventToRow(program, slots[k].body, slots[k].type, static_cast<uint8_t>(k + 1));
    }
    // After the table: on units that count the last event into the rest between repeats, the
    // rest shown comes off the loaded table's last event, not the one it replaced.
    DecodeSetup(program, setup, false);
    program.ShowStatusMessage(true, "Configuration loaded");
    MarkTableChanged(program, true);
    MarkSetupChanged(program, true);
    DimUnitControlsWithoutUnit(program);
    ClearEditHistory(program);
    return 0;
}

void LoadConfigFile(Program& program) {
    const FileSelection chosen = program.GetUi().FileSelectPopup(program.Settings().ConfigFolder(),
                                                                 kPattern, "Load File", false);
    if (chosen.choice == FileChoice::ExistingFile) {
        LoadConfigFileFrom(program, chosen.path);
    }
}

// Runs one save or load; running out of memory anywhere in it is said, not thrown.
template <class Operation>
int WithoutThrowing(Program& program, Operation&& operation) {
    try {
        return operation();
    } catch (const std::bad_alloc&) {
        program.ShowStatusMessage(false, "Out of system memory");
        return -1;
    }
}

}  // namespace

int PutConfiguration(Program& program, IniDocument& document) {
    std::array<uint32_t, setup_tag::kCount> setup{};
    for (uint16_t tag = 0; tag < setup_tag::kCount; ++tag) {
        setup[tag] = ReadSetupField(program, tag).value_or(0);
    }
    int result = PutConfigSetup(document, setup);
    // Sections are numbered by the events saved, not by grid rows: an empty row in the middle
    // would otherwise leave a gap where loading stops, losing every event after it.
    int saved = 0;
    for (int row = 1; row <= program.Grid().RowCount() && result == 0; ++row) {
        EventRecord event;
        event.type = RowToEvent(program, event.body, row);
        if (event.type >= TypeCode(EventType::ToneCycles) &&
            event.type <= TypeCode(EventType::ToneSeconds)) {
            result = PutConfigEvent(document, ++saved, event);
        }
    }
    return result;
}

int SaveConfigurationFile(Program& program, const std::string& path) {
    return WithoutThrowing(program, [&] {
        const std::unique_ptr<IniDocument> document = Ini_New(1);
        if (!document) {
            program.ShowStatusMessage(false, "Failed to create file");
            return -1;
        }
        if (PutConfiguration(program, *document) != 0 || document->WriteToFile(path) != 0) {
            program.ShowStatusMessage(false, "Failed to save configuration file");
            return -1;
        }
        program.ShowStatusMessage(true, "Configuration saved successfully");
        return 0;
    });
}

int LoadConfigurationFile(Program& program, const std::string& path) {
    const int result = WithoutThrowing(program, [&] {
        InputFile file(path);
        if (!file.IsOpen()) {
            program.ShowStatusMessage(false, "Failed to open file");
            return -1;
        }
        WaitCursor wait(program.GetUi());
        const std::optional<std::vector<uint8_t>> first = file.Read(1);
        if (!first || first->empty()) {
            // An empty file has no first byte to tell the two kinds apart: it is neither.
            program.ShowStatusMessage(false, "Failed to read from file");
            return -1;
        }
        if (IsOldEventTableFile(first->front())) {
            return LoadOldEventTable(program, file);
        }
        file.Close();
        return LoadTlkFile(program, path);
    });
    if (result == 0) {
        program.ServiceRecords().NoteLoadedFile(path);
    }
    return result;
}

int ConfigFileSaveCB(Program& program, const CallbackEvent& event) {
    if (event.event != UiEvent::Commit) {
        return 0;
    }
    WithoutThrowing(program, [&] {
        SaveConfigFile(program);
        return 0;
    });
    return 0;
}

int ConfigFileLoadCB(Program& program, const CallbackEvent& event) {
    if (event.event != UiEvent::Commit) {
        return 0;
    }
    WithoutThrowing(program, [&] {
        LoadConfigFile(program);
        return 0;
    });
    return 0;
}

void LoadConfigFileFrom(Program& program, const std::string& path) {
    program.Settings().ConfigFolder() = path;
    LoadConfigurationFile(program, path);
}

}  // namespace keelsong
