#include "fuzz/host/OutputChecks.h"

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <set>
#include <vector>

namespace hostfuzz {
namespace {

struct DocumentDeleter {
    void operator()(xmlDocPtr document) const { xmlFreeDoc(document); }
};
using Document = std::unique_ptr<xmlDoc, DocumentDeleter>;

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::string Name(const xmlChar* name) {
    return name == nullptr ? std::string() : Lower(reinterpret_cast<const char*>(name));
}

// "nan", "-inf", "Infinity", "nan(0x1)": what printf and the stream operators make of a number
// that is not finite.
bool IsNonFiniteWord(std::string_view word) {
    std::string lower = Lower(word);
    if (!lower.empty() && (lower.front() == '-' || lower.front() == '+'))
        lower.erase(0, 1);
    return lower == "inf" || lower == "infinity" || lower.rfind("nan", 0) == 0;
}

// Whether a list of numbers, separated by blanks or commas, holds one that is not finite.
bool HasNonFiniteNumber(std::string_view list) {
    std::size_t start = 0;
    while (start < list.size()) {
        const std::size_t end = std::min(list.find_first_of(" \t\r\n,", start), list.size());
        if (end > start && IsNonFiniteWord(list.substr(start, end - start)))
            return true;
        start = end + 1;
    }
    return false;
}

std::string TextOf(xmlNodePtr node) {
    xmlChar* content = xmlNodeGetContent(node);
    std::string text = content == nullptr ? std::string() : reinterpret_cast<const char*>(content);
    xmlFree(content);
    return text;
}

// Walks every element below `node`, stopping at the first fault `visit` finds.
template <typename Visit> Fault EachElement(xmlNodePtr node, const Visit& visit) {
    for (xmlNodePtr child = node; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE)
            continue;
        if (Fault fault = visit(child))
            return fault;
        if (Fault fault = EachElement(child->children, visit))
            return fault;
    }
    return std::nullopt;
}

// A drawing attribute holds numbers and commands only ("M1 2L3 4", "translate(1 2)"), so any
// "nan" or "inf" in it is a number that is not finite.
bool HasNonFiniteDrawingNumber(std::string_view value) {
    const std::string lower = Lower(value);
    return lower.find("nan") != std::string::npos || lower.find("inf") != std::string::npos;
}

// The first attribute of `element` that `isNumber` names and `isFaulty` rejects.
template <typename IsNumber, typename IsFaulty>
Fault CheckNumberAttributes(xmlNodePtr element, const IsNumber& isNumber, const IsFaulty& isFaulty) {
    for (xmlAttrPtr attribute = element->properties; attribute != nullptr; attribute = attribute->next) {
        const std::string name = Name(attribute->name);
        if (isNumber(name) && isFaulty(TextOf(reinterpret_cast<xmlNodePtr>(attribute))))
            return "<" + Name(element->name) + "> attribute " + name + " is not a finite number";
    }
    return std::nullopt;
}

// The attributes that hold names and words rather than numbers, in LandXML and KML.
const std::set<std::string> kXmlTextAttributes = {
    "name",          "desc",          "code",       "id",          "setupid",        "stationname",
    "targetsetupid", "pntref",        "ogcwktcode", "date",        "time",           "language",
    "version",       "xmlns",         "readonly",   "angularunit", "linearunit",     "areaunit",
    "volumeunit",    "directionunit", "epsgcode",   "directface",  "schemalocation", "xsi:schemalocation"};
// Required attributes whose value may be unknown: the schema's double takes "NaN" for that.
const std::set<std::string> kXmlUnknownAllowed = {"instrumentheight"};
// The elements whose text is a list of coordinates.
const std::set<std::string> kXmlCoordinateElements = {"cgpoint", "instrumentpoint", "coordinates"};

// The elements the report writes, and the drawing attributes that hold numbers.
const std::set<std::string> kReportElements = {
    "html", "head",    "meta",  "title",  "style",  "script", "body",   "header", "h1",   "h2",
    "h3",   "section", "div",   "table",  "thead",  "tbody",  "tr",     "th",     "td",   "template",
    "p",    "span",    "ul",    "li",     "button", "br",     "svg",    "g",      "path", "text",
    "use",  "rect",    "defs",  "circle", "line",   "title",  "symbol", "tspan",  "main", "footer",
    "nav",  "a",       "small", "strong", "em",     "code",   "caption"};
const std::set<std::string> kDrawingNumbers = {
    "viewbox", "x",  "y",  "width", "height", "d",  "transform", "cx",        "cy",          "r",
    "x1",      "y1", "x2", "y2",    "points", "dx", "dy",        "font-size", "stroke-width"};

// libxml2 reports through a global handler; the parse is judged by its result and the count.
struct ErrorCount {
    int errors = 0;
    static void Count(void* context, xmlErrorPtr error) {
        if (error != nullptr && error->level >= XML_ERR_ERROR)
            ++static_cast<ErrorCount*>(context)->errors;
    }
};

} // namespace

Fault CheckJson(std::string_view text) {
    rapidjson::Document document;
    document.Parse<rapidjson::kParseValidateEncodingFlag | rapidjson::kParseFullPrecisionFlag>(text.data(),
                                                                                               text.size());
    if (document.HasParseError())
        return std::string("JSON does not parse: ") + rapidjson::GetParseError_En(document.GetParseError()) +
               " at offset " + std::to_string(document.GetErrorOffset());
    return std::nullopt;
}

Fault CheckXml(std::string_view text) {
    ErrorCount count;
    xmlSetStructuredErrorFunc(&count, ErrorCount::Count);
    const Document document(
        xmlReadMemory(text.data(), static_cast<int>(text.size()), "output.xml", nullptr,
                      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE));
    xmlSetStructuredErrorFunc(nullptr, nullptr);
    if (!document || count.errors != 0)
        return std::string("XML is not well-formed");
    return EachElement(xmlDocGetRootElement(document.get()), [](xmlNodePtr element) -> Fault {
        if (kXmlCoordinateElements.count(Name(element->name)) != 0 && HasNonFiniteNumber(TextOf(element)))
            return "<" + Name(element->name) + "> holds a number that is not finite";
        const Fault strict = CheckNumberAttributes(
            element,
            [](const std::string& name) {
                return kXmlTextAttributes.count(name) == 0 && kXmlUnknownAllowed.count(name) == 0;
            },
            HasNonFiniteNumber);
        if (strict)
            return strict;
        return CheckNumberAttributes(
            element, [](const std::string& name) { return kXmlUnknownAllowed.count(name) != 0; },
            [](std::string_view value) { return value != "NaN" && HasNonFiniteNumber(value); });
    });
}

Fault CheckCsv(std::string_view text) {
    std::size_t header = 0;
    std::size_t fields = 1;
    std::size_t record = 1;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"')
                ++i;
            else if (c == '"')
                quoted = false;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            ++fields;
        } else if (c == '\n') {
            if (header == 0)
                header = fields;
            else if (fields != header)
                return "CSV record " + std::to_string(record) + " has " + std::to_string(fields) +
                       " fields, the header " + std::to_string(header);
            fields = 1;
            ++record;
        }
    }
    if (quoted)
        return std::string("CSV ends inside a quoted field");
    return std::nullopt;
}

Fault CheckHtml(std::string_view text) {
    const std::string lower = Lower(text);
    std::size_t scripts = 0;
    for (std::size_t at = lower.find("<script"); at != std::string::npos; at = lower.find("<script", at + 1))
        ++scripts;
    if (scripts != 1)
        return "the report has " + std::to_string(scripts) + " script tags";
    ErrorCount count;
    xmlSetStructuredErrorFunc(&count, ErrorCount::Count);
    const Document document(
        htmlReadMemory(text.data(), static_cast<int>(text.size()), "report.html", "UTF-8",
                       HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NOIMPLIED));
    xmlSetStructuredErrorFunc(nullptr, nullptr);
    if (!document)
        return std::string("the report does not parse as HTML");
    return EachElement(xmlDocGetRootElement(document.get()), [](xmlNodePtr element) -> Fault {
        const std::string name = Name(element->name);
        if (kReportElements.count(name) == 0)
            return "the report has an element <" + name + "> it never writes";
        for (xmlAttrPtr attribute = element->properties; attribute != nullptr; attribute = attribute->next) {
            if (Name(attribute->name).rfind("on", 0) == 0)
                return "<" + name + "> has an event handler attribute " + Name(attribute->name);
        }
        return CheckNumberAttributes(
            element, [](const std::string& name) { return kDrawingNumbers.count(name) != 0; },
            HasNonFiniteDrawingNumber);
    });
}

} // namespace hostfuzz
