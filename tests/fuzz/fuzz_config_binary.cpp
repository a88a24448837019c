// Whatever bytes an older binary event-table file holds, reading it must take whole 16-byte
// records only, at most 40, exactly as they stand, and the "Load" button must show one row
// per record read and nothing beyond 40.
//
// Input: the file, whose first byte is made 0-5 so that it is read as this kind; that byte
// divided by 6 picks the unit.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "config_load_check.h"
#include "files/config_file.h"
#include "protocol/frame.h"

using namespace keelsong;
using fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> file(data, data + size);
    size_t unit = 0;
    if (!file.empty()) {
        unit = file[0] / 6;
        file[0] %= 6;
    }

    const std::vector<EventRecord> records = ReadOldEventTable(file);
    Check(records.size() == std::min<size_t>(file.size() / kOldEventRecordSize, 40));
    for (size_t k = 0; k < records.size(); ++k) {
        const uint8_t* record = file.data() + k * kOldEventRecordSize;
        Check(records[k].type == static_cast<int32_t>(ReadLe32(record)));
        Check(std::equal(records[k].body.begin(), records[k].body.end(), record + 4));
    }

    const int rows = fuzz::LoadThroughTheButton(file, unit);
    Check(rows == (file.empty() ? -1 : static_cast<int>(records.size())));
    return 0;
}
