// IniDocument: an INI file in memory, the text format of the settings file and the ".tlk"
// configuration file.
//
// A document holds named sections of named items. Each item keeps its value as the text that
// stands in the file (escape sequences still in it) plus a flag saying whether it is written
// between double quotes. Names are matched ignoring ASCII letter case and white space at either
// end. Sorted documents (the only kind the program makes) keep sections and items in
// case-blind name order; unsorted ones keep the order of reading and putting.
//
// Every operation returns an int: 0 (or 1 = found, for gets) on success, a negative code from
// the list below on failure. Nothing throws; memory exhaustion is reported as kIniOutOfMemory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace keelsong {

inline constexpr int kIniMissingArgument = -65;  // document or a needed argument missing
inline constexpr int kIniOutOfMemory = -12;
inline constexpr int kIniCannotOpen = -5001;       // read: the file cannot be opened
inline constexpr int kIniReadError = -5002;        // read: the file could not be read to its end
inline constexpr int kIniAccessDenied = -95;       // write: target not writable; also errno EACCES
inline constexpr int kIniNoTemporaryName = -5003;  // write: ini$$0.CVI … ini$$999.CVI all taken
inline constexpr int kIniCannotCreateTemporary = -5004;
inline constexpr int kIniNoFileInformation = -91;  // write: the old target cannot be examined
inline constexpr int kIniDiskFull = -97;
inline constexpr int kIniIoError = -93;  // write: any other write, flush or rename failure
inline constexpr int kIniBadInt = -5021;
inline constexpr int kIniBadUInt = -5022;
inline constexpr int kIniBadBoolean = -5024;
// A put whose section or item name could not be read back as that same name (empty, holding a
// line end or a NUL, an item name with "=" or starting with ";" or "[", an item name that looks
// like a piece of a long value, or a name so long that its line would be cut when read).
inline constexpr int kIniBadName = -5030;

// Values longer than this (as stored, escaped, without quotes) are written as numbered pieces.
inline constexpr std::size_t kIniMaxValueLineLength = 80;
// Reading keeps at most this many characters of a line.
inline constexpr std::size_t kIniMaxLineLength = 255;

// Case-blind, byte-wise name order: <0, 0 or >0. ASCII letters compare as lower case.
int IniCompareNames(std::string_view a, std::string_view b);

struct IniNameLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const {
        return IniCompareNames(a, b) < 0;
    }
};

// The escaped form that a put string stores and the file shows, and its inverse.
std::string IniEscape(std::string_view text);
std::string IniUnescape(std::string_view value);

struct IniItem {
    std::string name;
    std::string value;  // as in the file: escaped, without the enclosing quotes
    bool quoted = false;
    std::string comment;  // the ";" lines above it, joined by CR LF; empty when none
};

// An ordered list of named entries with a case-blind index, so that look-up, sorted insertion
// and removal by name stay logarithmic however large a file is. Entries of equal name keep the
// order in which they were added; look-up finds the first of them.
template <typename T>
class IniNamedList {
  public:
    using const_iterator = typename std::list<T>::const_iterator;

    IniNamedList() = default;
    IniNamedList(IniNamedList&&) = default;
    IniNamedList& operator=(IniNamedList&&) = default;
    IniNamedList(const IniNamedList&) = delete;
    IniNamedList& operator=(const IniNamedList&) = delete;

    const_iterator begin() const { return entries_.begin(); }
    const_iterator end() const { return entries_.end(); }
    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }

    T* Find(std::string_view name) {
        auto it = index_.lower_bound(name);
        if (it == index_.end() || IniCompareNames(it->first, name) != 0) {
            return nullptr;
        }
        return &*it->second;
    }
    const T* Find(std::string_view name) const {
        return const_cast<IniNamedList*>(this)->Find(name);
    }

    // Sorted: after every entry whose name sorts before or equal to it. Otherwise: at the end.
    T& Insert(T entry, bool sorted) {
        auto next = sorted ? index_.upper_bound(entry.name) : index_.end();
        auto position = next == index_.end() ? entries_.end() : next->second;
        auto placed = entries_.insert(position, std::move(entry));
        try {
            // The key views the name inside the list node, which never moves.
            index_.emplace_hint(next, std::string_view(placed->name), placed);
        } catch (...) {
            entries_.erase(placed);
            throw;
        }
        return *placed;
    }

    void Erase(std::string_view name) {
        auto [first, last] = index_.equal_range(name);
        for (auto it = first; it != last; ++it) {
            entries_.erase(it->second);
        }
        index_.erase(first, last);
    }

  private:
    using Iterator = typename std::list<T>::iterator;
    std::list<T> entries_;
    std::multimap<std::string_view, Iterator, IniNameLess> index_;
};

struct IniSection {
    std::string name;
    std::string comment;  // the ";" lines above its header, joined by CR LF; empty when none
    IniNamedList<IniItem> items;
};

namespace ini_detail {
class TextReader;
}

class IniDocument {
  public:
    explicit IniDocument(bool sorted = true) : sorted_(sorted) {}
    IniDocument(IniDocument&&) = default;
    IniDocument& operator=(IniDocument&&) = default;

    // Adds what the file holds to the document; 0 or kIniCannotOpen, kIniReadError,
    // kIniOutOfMemory. After a failure the document keeps what was read before it.
    int ReadFromFile(const std::string& path);
    // The same reading rules over bytes in memory.
    int ReadFromText(std::string_view bytes);

    // Replaces the file through a temporary "ini$$<n>.CVI" beside it: the old file survives
    // any failure. 0 or a negative code.
    int WriteToFile(const std::string& path) const;
    // The same, with `appended`'s sections after all of this document's own.
    int WriteToFile(const std::string& path, const IniDocument& appended) const;
    // The exact bytes WriteToFile writes. Unlike the operations, may throw std::bad_alloc.
    std::string ToText() const;

    int PutInt(std::string_view section, std::string_view item, std::int32_t value);
    int PutUInt(std::string_view section, std::string_view item, std::uint32_t value);
    int PutBoolean(std::string_view section, std::string_view item, bool value);
    int PutString(std::string_view section, std::string_view item, std::string_view text);
    // As PutString, but a text that reads back the same without them is written without
    // quotes ("Type = Orvane HF").
    int PutPlainString(std::string_view section, std::string_view item, std::string_view text);

    // 1 found, 0 not found, negative on failure. The buffer is emptied first and receives at
    // most size - 1 bytes of the un-escaped value and a terminating zero.
    int GetStringIntoBuffer(std::string_view section, std::string_view item, char* buffer,
                            std::size_t size) const;
    // 1 found and stored, 0 not found (or blank), negative on a bad value; *value is left alone
    // unless the result is 1.
    int GetInt(std::string_view section, std::string_view item, std::int32_t* value) const;
    int GetUInt(std::string_view section, std::string_view item, std::uint32_t* value) const;
    int GetBoolean(std::string_view section, std::string_view item, bool* value) const;

    bool sorted() const { return sorted_; }
    const IniNamedList<IniSection>& sections() const { return sections_; }
    const std::string& header_comment() const { return header_comment_; }
    const std::string& trailing_comment() const { return trailing_comment_; }
    const IniSection* FindSection(std::string_view name) const;
    const IniItem* FindItem(std::string_view section, std::string_view item) const;

  private:
    friend class ini_detail::TextReader;

    int Put(std::string_view section, std::string_view item, std::string value, bool quoted);
    // The decimal number an item holds: 1 with its sign and magnitude, 0 when the item is missing
    // or blank, `bad_value` when it is no number.
    int GetNumber(std::string_view section, std::string_view item, int bad_value, bool* negative,
                  std::uint64_t* magnitude) const;

    bool sorted_;
    IniNamedList<IniSection> sections_;
    std::string header_comment_;
    std::string trailing_comment_;
};

// A new document, or null when memory is exhausted (where `new` would throw).
std::unique_ptr<IniDocument> Ini_New(int sorted);

}  // namespace keelsong
