#include "sheet/xlsx/xml_part.h"

#include <expat.h>

#include <cstring>
#include <exception>
#include <memory>
#include <type_traits>

#include "sheet/xlsx/xlsx_error.h"

namespace cw::sheet::xlsx {

// What the expat callbacks share. An exception must not unwind through expat's C frames,
// so a handler's exception is kept here, the parser stopped, and the exception rethrown
// once XML_Parse has returned.
struct XmlPartParser::Session {
  XML_Parser parser = nullptr;
  XmlHandler* handler = nullptr;
  std::string part;
  std::exception_ptr failure;
  std::size_t depth = 0;
  std::uint64_t white = 0;        // bytes of character data that are white space alone
  std::uint64_t white_check = 0;  // `white` at which it is next weighed against the part

  ~Session() {
    if (parser) XML_ParserFree(parser);
  }
};

namespace {

constexpr std::size_t kMaxItem = std::size_t{4} << 20;
// Workbook parts nest a dozen levels; expat keeps every open element, so a small file of
// millions of nested tags would take hundreds of megabytes.
constexpr std::size_t kMaxDepth = 1'000;
// White space between elements deflates to almost nothing: a part of gigabytes of it under
// the ratio cap costs seconds to inflate and parse and holds nothing. Workbook writers put
// none or an indentation's worth (a third of a pretty-printed part at most), so a part whose
// white space passes this much and three quarters of what was parsed is refused.
constexpr std::uint64_t kMostWhiteSpace = std::uint64_t{64} << 20;

bool AllWhiteSpace(std::string_view text) {
  for (const char c : text) {
    if (c != ' ' && c != '\n' && c != '\r' && c != '\t') return false;
  }
  return true;
}

using Session = XmlPartParser::Session;

void Stop(Session& s) {
  if (!s.failure) s.failure = std::current_exception();
  XML_StopParser(s.parser, XML_FALSE);
}

void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** atts) {
  auto& s = *static_cast<Session*>(data);
  try {
    if (++s.depth > kMaxDepth) FailXlsx(XlsxErrorCode::kXmlTooDeep, s.part, "1,000");
    s.handler->Start(LocalName(name), Attributes(atts));
  } catch (...) {  // carried across expat, rethrown by ParsePart
    Stop(s);
  }
}

void XMLCALL OnEnd(void* data, const XML_Char* name) {
  auto& s = *static_cast<Session*>(data);
  --s.depth;
  try {
    s.handler->End(LocalName(name));
  } catch (...) {  // carried across expat, rethrown by ParsePart
    Stop(s);
  }
}

void XMLCALL OnText(void* data, const XML_Char* text, int length) {
  auto& s = *static_cast<Session*>(data);
  if (AllWhiteSpace(std::string_view(text, static_cast<std::size_t>(length)))) {
    s.white += static_cast<std::size_t>(length);
    if (s.white >= s.white_check) {
      s.white_check = s.white + (std::uint64_t{1} << 20);
      const XML_Index at = XML_GetCurrentByteIndex(s.parser);
      if (s.white > kMostWhiteSpace && at > 0 && s.white > static_cast<std::uint64_t>(at) / 4 * 3) {
        try {
          FailXlsx(XlsxErrorCode::kPartRatioTooHigh, s.part,
                   "it is almost all white space, " + std::to_string(s.white >> 20) + " MiB of it so far");
        } catch (...) {  // carried across expat, rethrown by ParsePart
          Stop(s);
          return;
        }
      }
    }
  }
  if (!s.handler->Capturing()) return;
  try {
    s.handler->Text(std::string_view(text, static_cast<std::size_t>(length)));
  } catch (...) {  // carried across expat, rethrown by ParsePart
    Stop(s);
  }
}

void XMLCALL OnDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
  auto& s = *static_cast<Session*>(data);
  try {
    FailXlsx(XlsxErrorCode::kDoctype, s.part);
  } catch (...) {  // carried across expat, rethrown by ParsePart
    Stop(s);
  }
}

}  // namespace

const char* Attributes::Get(std::string_view name) const {
  for (const char** p = pairs_; p && *p; p += 2) {
    if (LocalName(p[0]) == name) return p[1];
  }
  return nullptr;
}

XmlPartParser::XmlPartParser(const ZipPackage& package, std::string_view name, XmlHandler& handler)
    : reader_(std::make_unique<PartReader>(package, name)), session_(std::make_unique<Session>()) {
  Begin(name, handler);
}

XmlPartParser::XmlPartParser(std::span<const char> document, std::string_view name, XmlHandler& handler)
    : memory_(document), session_(std::make_unique<Session>()) {
  Begin(name, handler);
}

void XmlPartParser::Begin(std::string_view name, XmlHandler& handler) {
  Session& s = *session_;
  s.parser = XML_ParserCreate(nullptr);
  if (!s.parser) throw std::bad_alloc();
  s.handler = &handler;
  s.part = std::string(name);
  XML_SetUserData(s.parser, &s);
  XML_SetElementHandler(s.parser, OnStart, OnEnd);
  XML_SetCharacterDataHandler(s.parser, OnText);
  XML_SetStartDoctypeDeclHandler(s.parser, OnDoctype);
  XML_SetParamEntityParsing(s.parser, XML_PARAM_ENTITY_PARSING_NEVER);
  // Feed holds input back itself while an item is unfinished (and measures that item from
  // where expat stopped); expat's own deferral would hide where it stopped, and with it an
  // item of hundreds of megabytes held in its buffer. An expat without the call (Debian 12's
  // first releases of 2.5.0) never defers, which is what the call asks for; one that defers
  // but is built without the call is still measured right (see Feed).
#if CW_HAVE_XML_SET_REPARSE_DEFERRAL
  XML_SetReparseDeferralEnabled(s.parser, XML_FALSE);
#endif
}

XmlPartParser::~XmlPartParser() = default;

namespace {

void Check(XmlPartParser::Session& s, XML_Status status) {
  if (s.failure) std::rethrow_exception(s.failure);
  if (status != XML_STATUS_OK) {
    const auto line = static_cast<std::size_t>(XML_GetCurrentLineNumber(s.parser));
    // expat counts columns from 0, in characters.
    const auto column = static_cast<std::size_t>(XML_GetCurrentColumnNumber(s.parser)) + 1;
    const std::string what =
        std::string(XML_ErrorString(XML_GetErrorCode(s.parser))) + " at line " + std::to_string(line);
    FailXlsx(XlsxErrorCode::kXmlMalformed, s.part, what, line, column);
  }
}

}  // namespace

// Expat keeps an unfinished tag, comment or attribute in its buffer until it ends, and scans
// it again from its start with every chunk. Two guards keep that linear: an item longer than
// any workbook has (4 MiB) is refused, measured from where it began; and while an item is
// unfinished, input is held back until as much again has come, so each rescan covers at
// least twice the text of the one before.
bool XmlPartParser::Feed() {
  if (done_) return false;
  Session& s = *session_;
  // A document in memory goes in chunks of the size a part is inflated in.
  constexpr std::size_t kMemoryChunk = std::size_t{64} << 10;
  std::span<const char> chunk;
  if (reader_) {
    chunk = reader_->Next();
  } else {
    chunk = memory_.first(std::min(memory_.size(), kMemoryChunk));
    memory_ = memory_.subspan(chunk.size());
  }
  if (chunk.empty()) {
    if (!held_.empty()) Check(s, XML_Parse(s.parser, held_.data(), static_cast<int>(held_.size()), XML_FALSE));
    held_.clear();
    Check(s, XML_Parse(s.parser, nullptr, 0, XML_TRUE));
    done_ = true;
    return false;
  }
  const auto open_item = [&] {
    // An expat that defers reparsing gives no position after a call it deferred: it took
    // nothing, so the unfinished item still begins where it last stopped.
    const XML_Index at = XML_GetCurrentByteIndex(s.parser);
    if (at >= 0 && static_cast<std::uint64_t>(at) <= fed_) item_begin_ = static_cast<std::uint64_t>(at);
    return fed_ - item_begin_;
  };
  std::span<const char> input = chunk;
  if (!held_.empty() || open_item() > chunk.size()) {
    held_.insert(held_.end(), chunk.begin(), chunk.end());
    // Parse once as much again has come, or when the item would be over the cap anyway.
    if (held_.size() < open_item() && open_item() + held_.size() <= kMaxItem) return true;
    input = held_;
  }
  Check(s, XML_Parse(s.parser, input.data(), static_cast<int>(input.size()), XML_FALSE));
  fed_ += input.size();
  held_.clear();
  if (open_item() > kMaxItem) FailXlsx(XlsxErrorCode::kPartTooLarge, s.part, "4 MiB in a single item");
  return true;
}

void XmlPartParser::Drain() {
  if (done_) return;
  while (reader_ && !reader_->Next().empty()) {
  }
  done_ = true;
}

void ParsePart(const ZipPackage& package, std::string_view name, XmlHandler& handler) {
  XmlPartParser parser(package, name, handler);
  parser.ReadAhead();
  while (parser.Feed()) {
  }
}

}  // namespace cw::sheet::xlsx
