// XmlLite, which Windows has had since XP SP3 and Wine implements. MinGW ships its header but no
// import library, so the reader comes from xmllite.dll at run time.
#include "dat/XmlElements.h"

#include <windows.h>

#include <objbase.h>
#include <shlwapi.h>
#include <xmllite.h>

#include <cstdio>
#include <memory>

namespace quillet {

namespace {

// IID_IXmlReader, which MinGW declares but does not define.
constexpr IID kIidXmlReader = {
    0x7279FC81, 0x709D, 0x4095, {0xB6, 0x3D, 0x69, 0xFE, 0x4B, 0x0D, 0x90, 0x30}};
using CreateXmlReaderFunction = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);

struct LibraryFree {
    void operator()(HMODULE module) const noexcept { FreeLibrary(module); }
};
using Library = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryFree>;

struct Release {
    void operator()(IUnknown* object) const noexcept { object->Release(); }
};
template <typename T> using ComPtr = std::unique_ptr<T, Release>;

std::string Utf8(const WCHAR* text, UINT length) {
    if (length == 0)
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                         nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), size, nullptr,
                        nullptr);
    return out;
}

std::string Reason(HRESULT result) {
    switch (static_cast<unsigned long>(result)) {
    case MX_E_INPUTEND:
        return "unexpected end of the document";
    case MX_E_ENCODING:
    case MX_E_ENCODINGSWITCH:
    case MX_E_ENCODINGSIGNATURE:
    case WC_E_ENCNAME:
        return "unknown or inconsistent encoding";
    case WC_E_ELEMENTMATCH:
        return "end tag does not match the start tag";
    case WC_E_ROOTELEMENT:
        return "no single root element";
    case WC_E_UNDECLAREDENTITY:
        return "undeclared entity";
    case WC_E_UNIQUEATTRIBUTE:
        return "attribute given twice";
    case WC_E_XMLCHARACTER:
    case WC_E_NAMECHARACTER:
        return "character not allowed here";
    default:
        break;
    }
    char text[48];
    std::snprintf(text, sizeof text, "not well-formed XML (XmlLite error 0x%08lX)",
                  static_cast<unsigned long>(result));
    return text;
}

UINT LineOf(IXmlReader& reader) {
    UINT line = 0;
    return SUCCEEDED(reader.GetLineNumber(&line)) ? line : 0;
}

void Check(HRESULT result, IXmlReader& reader) {
    if (FAILED(result))
        throw EXmlError(Reason(result), LineOf(reader));
}

std::string Text(HRESULT (STDMETHODCALLTYPE IXmlReader::*get)(LPCWSTR*, UINT*),
                 IXmlReader& reader) {
    LPCWSTR text = nullptr;
    UINT length = 0;
    Check((reader.*get)(&text, &length), reader);
    return Utf8(text, length);
}

} // namespace

void ReadXmlElements(std::span<const char> document,
                     const std::function<void(const XmlElementStart&)>& onElement) {
    const Library library(LoadLibraryA("xmllite.dll"));
    if (!library)
        throw Exception("Cannot load xmllite.dll, the system's XML reader");
    const auto create = reinterpret_cast<CreateXmlReaderFunction>(
        reinterpret_cast<void*>(GetProcAddress(library.get(), "CreateXmlReader")));
    if (create == nullptr)
        throw Exception("xmllite.dll has no CreateXmlReader");
    if (document.size() > 0xFFFFFFFFu)
        throw Exception("The document is too large");

    const ComPtr<IStream> stream(SHCreateMemStream(reinterpret_cast<const BYTE*>(document.data()),
                                                   static_cast<UINT>(document.size())));
    if (!stream)
        throw Exception("Not enough memory for the document");
    IXmlReader* created = nullptr;
    if (FAILED(create(kIidXmlReader, reinterpret_cast<void**>(&created), nullptr)))
        throw Exception("Cannot create an XML reader");
    const ComPtr<IXmlReader> reader(created);
    // DAT files name their document type; its declaration is read, nothing is fetched for it.
    Check(reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Parse), *reader);
    Check(reader->SetInput(stream.get()), *reader);

    XmlNodeType type = XmlNodeType_None;
    for (;;) {
        const HRESULT read = reader->Read(&type);
        if (read == S_FALSE)
            break;
        Check(read, *reader);
        if (type != XmlNodeType_Element)
            continue;
        XmlElementStart element;
        UINT depth = 0;
        Check(reader->GetDepth(&depth), *reader);
        element.depth = static_cast<int>(depth);
        element.line = LineOf(*reader);
        element.name = Text(&IXmlReader::GetLocalName, *reader);
        HRESULT more = reader->MoveToFirstAttribute();
        while (more == S_OK) {
            std::string name = Text(&IXmlReader::GetLocalName, *reader);
            element.attributes.push_back({std::move(name), Text(&IXmlReader::GetValue, *reader)});
            more = reader->MoveToNextAttribute();
        }
        Check(more, *reader);
        Check(reader->MoveToElement(), *reader);
        onElement(element);
    }
}

} // namespace quillet
