// Streaming XML over one package part with expat. Element and attribute names reach the
// handler without their prefix ("x:c" and "c" alike), which reads the transitional and the
// Strict OOXML namespaces the same way. A DOCTYPE is refused outright, so no entity can be
// declared (and none expanded).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sheet/xlsx/zip_package.h"

namespace cw::sheet::xlsx {

// The attributes of one start tag, as expat gives them: name, value, name, value, ..., null.
class Attributes {
 public:
  explicit Attributes(const char** pairs) : pairs_(pairs) {}
  // The value of the attribute whose local name is `name`, or nullptr.
  const char* Get(std::string_view name) const;
  const char** Raw() const { return pairs_; }

 private:
  const char** pairs_;
};

// The part of a name after its prefix: "r:id" -> "id". Names are short and come with every
// element and attribute, so one pass finds both the end and the last colon.
inline std::string_view LocalName(const char* name) {
  const char* start = name;
  const char* p = name;
  for (; *p != '\0'; ++p) {
    if (*p == ':') start = p + 1;
  }
  return std::string_view(start, static_cast<std::size_t>(p - start));
}

class XmlHandler {
 public:
  virtual ~XmlHandler() = default;
  virtual void Start(std::string_view name, const Attributes& attributes) = 0;
  virtual void End(std::string_view name) = 0;
  // Character data; only called while Capturing() is true.
  virtual void Text(std::string_view text) = 0;
  bool Capturing() const { return capturing_; }

 protected:
  bool capturing_ = false;
};

// One part parsed chunk by chunk, for a caller that wants to stop or pause between chunks
// (the row stream). Errors as for ParsePart, thrown from Feed().
class XmlPartParser {
 public:
  XmlPartParser(const ZipPackage& package, std::string_view name, XmlHandler& handler);
  // A document held in memory (a flat OpenDocument file), parsed in the same bounded
  // chunks; `name` stands for it in messages. The bytes must outlive the parser.
  XmlPartParser(std::span<const char> document, std::string_view name, XmlHandler& handler);
  ~XmlPartParser();
  XmlPartParser(const XmlPartParser&) = delete;
  XmlPartParser& operator=(const XmlPartParser&) = delete;

  // Inflates and parses the next chunk of the part (a bounded amount); false once the whole
  // part has been parsed and found well-formed.
  bool Feed();
  // Inflates the rest of the part without parsing it, so its checksum is checked at its end.
  // Throws XlsxError when the part is damaged.
  void Drain();
  // Inflates the part ahead of the parse on a thread of its own (see PartReader::ReadAhead).
  void ReadAhead() {
    if (reader_) reader_->ReadAhead();
  }

  struct Session;

 private:
  void Begin(std::string_view name, XmlHandler& handler);
  std::unique_ptr<PartReader> reader_;  // a package part; null for a document in memory
  std::span<const char> memory_;        // what is left of a document in memory
  std::unique_ptr<Session> session_;
  std::vector<char> held_;  // input held back while a long item is unfinished
  std::uint64_t fed_ = 0;
  std::uint64_t item_begin_ = 0;  // where expat last stopped: the unfinished item begins there
  bool done_ = false;
};

// Streams part `name` of `package` through `handler`. Throws XlsxError for a missing or
// damaged part, malformed XML or a DOCTYPE; an error thrown by the handler passes through.
void ParsePart(const ZipPackage& package, std::string_view name, XmlHandler& handler);

}  // namespace cw::sheet::xlsx
