// The INI text itself: splitting bytes into lines, classifying them, joining the pieces of long
// values, and formatting a document. Internal to files/; use IniDocument.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "files/ini.h"

namespace keelsong::ini_detail {

bool IsBlank(char c);
std::string_view Trim(std::string_view text);

// The number of a long value's piece ("<base> Line<digits>", the number fitting a signed 32-bit
// integer), with *base set to the trimmed base name; -1 when the name is not a piece's.
long long PieceNumber(std::string_view name, std::string_view* base);

// Reads bytes fed in any chunking into a document. Finish() must be called once, at the end
// of the input or after a read error, to hand over what was read.
class TextReader {
  public:
    explicit TextReader(IniDocument& document) : document_(document) {}
    void Feed(std::string_view bytes);
    void Finish();

  private:
    struct Section {
        std::string name;
        std::string comment;
        std::vector<IniItem> items;  // file order, until the pieces are joined
    };

    void FeedLines(std::string_view bytes);
    void EndLine();
    void ProcessLine(std::string_view line);
    void OnOtherLine();
    void AppendComment(std::string_view line);

    IniDocument& document_;
    std::size_t bom_matched_ = 0;
    bool bom_decided_ = false;
    std::string line_;
    bool in_line_ = false;
    char last_line_end_ = 0;  // the CR or LF that ended the previous line, 0 after anything else
    std::string pending_comment_;
    std::vector<Section> sections_;
};

// The text of the whole file, CR LF line ends.
std::string FormatText(const IniDocument& document);

}  // namespace keelsong::ini_detail
