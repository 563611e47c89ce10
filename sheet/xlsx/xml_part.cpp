#include "sheet/xlsx/xml_part.h"

#include <expat.h>

#include <cstring>
#include <exception>
#include <memory>
#include <type_traits>

#include "sheet/xlsx/xlsx_error.h"

namespace cw::sheet::xlsx {
namespace {

constexpr std::size_t kMaxItem = std::size_t{4} << 20;

// What the expat callbacks share. An exception must not unwind through expat's C frames,
// so a handler's exception is kept here, the parser stopped, and the exception rethrown
// once XML_Parse has returned.
struct Session {
  XML_Parser parser;
  XmlHandler* handler;
  std::string part;
  std::exception_ptr failure;
};

void Stop(Session& s) {
  if (!s.failure) s.failure = std::current_exception();
  XML_StopParser(s.parser, XML_FALSE);
}

void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** atts) {
  auto& s = *static_cast<Session*>(data);
  try {
    s.handler->Start(LocalName(name), Attributes(atts));
  } catch (...) {  // carried across expat, rethrown by ParsePart
    Stop(s);
  }
}

void XMLCALL OnEnd(void* data, const XML_Char* name) {
  auto& s = *static_cast<Session*>(data);
  try {
    s.handler->End(LocalName(name));
  } catch (...) {  // carried across expat, rethrown by ParsePart
    Stop(s);
  }
}

void XMLCALL OnText(void* data, const XML_Char* text, int length) {
  auto& s = *static_cast<Session*>(data);
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

struct ParserFree {
  void operator()(XML_Parser p) const { XML_ParserFree(p); }
};

}  // namespace

const char* Attributes::Get(std::string_view name) const {
  for (const char** p = pairs_; p && *p; p += 2) {
    if (LocalName(p[0]) == name) return p[1];
  }
  return nullptr;
}

void ParsePart(const ZipPackage& package, std::string_view name, XmlHandler& handler) {
  std::unique_ptr<std::remove_pointer_t<XML_Parser>, ParserFree> parser(XML_ParserCreate(nullptr));
  if (!parser) throw std::bad_alloc();
  Session session{parser.get(), &handler, std::string(name), nullptr};
  XML_SetUserData(parser.get(), &session);
  XML_SetElementHandler(parser.get(), OnStart, OnEnd);
  XML_SetCharacterDataHandler(parser.get(), OnText);
  XML_SetStartDoctypeDeclHandler(parser.get(), OnDoctype);
  XML_SetParamEntityParsing(parser.get(), XML_PARAM_ENTITY_PARSING_NEVER);

  const auto check = [&](XML_Status status) {
    if (session.failure) std::rethrow_exception(session.failure);
    if (status != XML_STATUS_OK) {
      const auto line = static_cast<std::size_t>(XML_GetCurrentLineNumber(parser.get()));
      const std::string what =
          std::string(XML_ErrorString(XML_GetErrorCode(parser.get()))) + " at line " + std::to_string(line);
      FailXlsx(XlsxErrorCode::kXmlMalformed, name, what, line);
    }
  };
  // Expat keeps an unfinished tag, comment or attribute in its buffer until it ends, and
  // scans it again with every chunk; no part of a workbook has one anywhere near 4 MiB long,
  // so a longer one is refused before it costs memory and quadratic time.
  std::size_t since_tag_end = 0;
  package.Read(name, [&](std::span<const char> chunk) {
    const void* last = memrchr(chunk.data(), '>', chunk.size());
    since_tag_end = last ? static_cast<std::size_t>(chunk.data() + chunk.size() - static_cast<const char*>(last) - 1)
                         : since_tag_end + chunk.size();
    if (since_tag_end > kMaxItem) FailXlsx(XlsxErrorCode::kPartTooLarge, name, "4 MiB in a single item");
    check(XML_Parse(parser.get(), chunk.data(), static_cast<int>(chunk.size()), XML_FALSE));
  });
  check(XML_Parse(parser.get(), nullptr, 0, XML_TRUE));
}

}  // namespace cw::sheet::xlsx
