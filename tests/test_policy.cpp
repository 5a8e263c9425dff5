// Policies in the real registry of the test prefix, and the administrative templates that set them.
#include <gtest/gtest.h>
#include <windows.h>
#include <msxml2.h>

#include <algorithm>
#include <cwchar>
#include <map>
#include <set>

#include "comlib/log.h"
#include "data/policy.h"
#include "tests/test_helpers.h"

namespace {

struct RegistryValue {
    HKEY root;
    const wchar_t* key;  // below Software\Policies\DormiGuard: "" or "WatchedPrograms"
    const wchar_t* name;
    DWORD type;
    DWORD number;
    const wchar_t* text;
};

void SetRegistryValue(const RegistryValue& value) {
    std::wstring path = L"Software\\Policies\\DormiGuard";
    if (*value.key) path += std::wstring(L"\\") + value.key;
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(value.root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr), ERROR_SUCCESS);
    const BYTE* data = value.type == REG_DWORD ? reinterpret_cast<const BYTE*>(&value.number)
                                               : reinterpret_cast<const BYTE*>(value.text);
    const DWORD size = value.type == REG_DWORD ? sizeof(DWORD) : static_cast<DWORD>((wcslen(value.text) + 1) * sizeof(wchar_t));
    EXPECT_EQ(::RegSetValueExW(key, value.name, 0, value.type, data, size), ERROR_SUCCESS);
    ::RegCloseKey(key);
}

void RemovePolicyKeys() {
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) ::RegDeleteTreeW(root, L"Software\\Policies\\DormiGuard");
}

// The message part of each log line, after the time, line number and source file.
std::vector<std::wstring> LogMessages(const std::wstring& path) {
    std::vector<std::wstring> messages;
    for (const std::wstring& line : SplitLines(ReadUtf16File(path))) {
        const size_t at = line.find(L" : ", 26);
        messages.push_back(at == std::wstring::npos ? line : line.substr(at + 3));
    }
    return messages;
}

class PolicyRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        RemovePolicyKeys();
        log_ = FreshTempFolder(L"dg_policy") + L"\\log.txt";
        g_Logger.SetPath(log_);
    }
    void TearDown() override {
        RemovePolicyKeys();
        g_Logger.SetPath(L"");
    }
    std::wstring log_;
};

const HKEY kMachine = HKEY_LOCAL_MACHINE;
const HKEY kUser = HKEY_CURRENT_USER;

}  // namespace

TEST_F(PolicyRegistry, ReadFromBothHivesAndLoggedOnce) {
    struct Case {
        const char* what;
        std::vector<RegistryValue> values;
        std::vector<std::wstring> lines;
    } cases[] = {
        {"HKLM beats HKCU",
         {{kMachine, L"", L"MaxSessionMinutes", REG_DWORD, 60, nullptr},
          {kUser, L"", L"MaxSessionMinutes", REG_DWORD, 30, nullptr},
          {kUser, L"", L"Hotkey", REG_DWORD, 0, nullptr}},
         {L"適用中のポリシー: MaxSessionMinutes=60, Hotkey=0"}},
        {"an HKLM list replaces the HKCU list",
         {{kMachine, L"WatchedPrograms", L"render.exe", REG_SZ, 0, L"render.exe"},
          {kUser, L"WatchedPrograms", L"1", REG_SZ, 0, L"notepad.exe"},
          {kUser, L"WatchedPrograms", L"2", REG_SZ, 0, L"C:\\Tools\\job.exe"}},
         {L"適用中のポリシー: WatchedPrograms=render.exe"}},
        {"the HKCU list without an HKLM list; an empty HKLM key is no list",
         {{kUser, L"WatchedPrograms", L"1", REG_SZ, 0, L"notepad.exe"},
          {kUser, L"WatchedPrograms", L"2", REG_SZ, 0, L"C:\\Tools\\job.exe"},
          {kMachine, L"WatchedPrograms", L"3", REG_DWORD, 1, nullptr}},
         {L"ポリシーの値を無視します (REG_SZ ではありません, 型 4): HKLM\\Software\\Policies\\DormiGuard\\WatchedPrograms\\3",
          L"適用中のポリシー: WatchedPrograms=C:\\Tools\\job.exe|notepad.exe"}},
        {"a wrong type is ignored, and the HKCU value holds",
         {{kMachine, L"", L"Disabled", REG_SZ, 0, L"1"}, {kUser, L"", L"Disabled", REG_DWORD, 1, nullptr}},
         {L"ポリシーの値を無視します (REG_DWORD ではありません, 型 1): HKLM\\Software\\Policies\\DormiGuard\\Disabled",
          L"適用中のポリシー: Disabled=1"}},
        {"out of range is ignored",
         {{kMachine, L"", L"BatteryFloor", REG_DWORD, 60, nullptr},
          {kMachine, L"", L"MaxSessionMinutes", REG_DWORD, 0, nullptr},
          {kUser, L"", L"ManualSessions", REG_DWORD, 3, nullptr},
          {kMachine, L"", L"UpdateCheck", REG_DWORD, 0, nullptr}},
         {L"ポリシーの値を無視します (範囲 1-10080 の外): HKLM\\Software\\Policies\\DormiGuard\\MaxSessionMinutes = 0",
          L"ポリシーの値を無視します (範囲 5-50 の外): HKLM\\Software\\Policies\\DormiGuard\\BatteryFloor = 60",
          L"ポリシーの値を無視します (範囲 0-2 の外): HKCU\\Software\\Policies\\DormiGuard\\ManualSessions = 3",
          L"適用中のポリシー: UpdateCheck=0"}},
        {"none set: no line", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RemovePolicyKeys();
        ::DeleteFileW(log_.c_str());
        for (const RegistryValue& value : c.values) SetRegistryValue(value);
        PolicyReader_CL reader;
        const Policies first = reader.Read();
        EXPECT_EQ(LogMessages(log_), c.lines);
        EXPECT_EQ(first.AnySet(), !c.values.empty());
        // A second read of the same values writes nothing more.
        EXPECT_EQ(reader.Read(), first);
        EXPECT_EQ(LogMessages(log_), c.lines);
    }
}

TEST_F(PolicyRegistry, LoggedAgainWhenTheSetChanges) {
    SetRegistryValue({kMachine, L"", L"KeepDisplayOn", REG_DWORD, 1, nullptr});
    PolicyReader_CL reader;
    EXPECT_EQ(reader.Read().keepDisplayOn, std::optional<DWORD>(1));
    SetRegistryValue({kUser, L"", L"KeepDisplayOn", REG_DWORD, 0, nullptr});
    reader.Read();
    SetRegistryValue({kMachine, L"", L"KeepDisplayOn", REG_DWORD, 0, nullptr});
    reader.Read();
    RemovePolicyKeys();
    EXPECT_FALSE(reader.Read().AnySet());
    reader.Read();
    EXPECT_EQ(LogMessages(log_), (std::vector<std::wstring>{L"適用中のポリシー: KeepDisplayOn=1", L"適用中のポリシー: KeepDisplayOn=0",
                                                            L"適用中のポリシー: なし"}));
}

namespace {

// An element copied out of MSXML's document: local name, attributes, child elements.
struct XmlElement {
    std::wstring name;
    std::map<std::wstring, std::wstring> attributes;
    std::vector<XmlElement> children;

    std::wstring Attribute(const wchar_t* key) const {
        const auto found = attributes.find(key);
        return found == attributes.end() ? L"" : found->second;
    }
    const XmlElement* Child(const wchar_t* childName) const {
        for (const XmlElement& child : children)
            if (child.name == childName) return &child;
        return nullptr;
    }
};

std::wstring TakeString(BSTR text) {
    std::wstring copy = text ? text : L"";
    ::SysFreeString(text);
    return copy;
}

XmlElement CopyElement(IXMLDOMNode* node) {
    XmlElement element;
    BSTR name = nullptr;
    node->get_baseName(&name);
    element.name = TakeString(name);
    UniqueCom<IXMLDOMNamedNodeMap> attributes;
    long count = 0;
    if (node->get_attributes(attributes.Put()) == S_OK) attributes.Get()->get_length(&count);
    for (long i = 0; i < count; ++i) {
        UniqueCom<IXMLDOMNode> attribute;
        // Wine's MSXML answers namespace declarations with no node.
        if (attributes.Get()->get_item(i, attribute.Put()) != S_OK || !attribute) continue;
        BSTR key = nullptr;
        BSTR value = nullptr;
        attribute.Get()->get_nodeName(&key);
        attribute.Get()->get_text(&value);
        element.attributes[TakeString(key)] = TakeString(value);
    }
    UniqueCom<IXMLDOMNodeList> children;
    node->get_childNodes(children.Put());
    children.Get()->get_length(&count);
    for (long i = 0; i < count; ++i) {
        UniqueCom<IXMLDOMNode> child;
        DOMNodeType type = NODE_INVALID;
        children.Get()->get_item(i, child.Put());
        child.Get()->get_nodeType(&type);
        if (type == NODE_ELEMENT) element.children.push_back(CopyElement(child.Get()));
    }
    return element;
}

// The templates' folder in the source tree; Wine maps the Unix root to drive Z:.
std::wstring PolicyFile(const wchar_t* name) {
    std::wstring path = std::wstring(L"Z:") + DORMIGUARD_POLICY_DIR + L"/" + name;
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

// Parses a file with MSXML 6, which refuses anything not well-formed and says why.
::testing::AssertionResult ParseXmlFile(const std::wstring& path, XmlElement* root) {
    CLSID documentClass = {};
    UniqueCom<IXMLDOMDocument> document;
    if (FAILED(::CLSIDFromProgID(L"Msxml2.DOMDocument.6.0", &documentClass)) ||
        FAILED(::CoCreateInstance(documentClass, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                                  reinterpret_cast<void**>(document.Put()))))
        return ::testing::AssertionFailure() << "no MSXML 6";
    document.Get()->put_async(VARIANT_FALSE);
    VARIANT source;
    ::VariantInit(&source);
    source.vt = VT_BSTR;
    source.bstrVal = ::SysAllocString(path.c_str());
    VARIANT_BOOL loaded = VARIANT_FALSE;
    document.Get()->load(source, &loaded);
    ::VariantClear(&source);
    if (loaded != VARIANT_TRUE) {
        UniqueCom<IXMLDOMParseError> error;
        BSTR reason = nullptr;
        long line = 0;
        if (document.Get()->get_parseError(error.Put()) == S_OK) {
            error.Get()->get_reason(&reason);
            error.Get()->get_line(&line);
        }
        const std::wstring text = TakeString(reason);
        return ::testing::AssertionFailure() << "not well-formed, line " << line << ": " << ::testing::PrintToString(text);
    }
    UniqueCom<IXMLDOMElement> top;
    document.Get()->get_documentElement(top.Put());
    *root = CopyElement(top.Get());
    return ::testing::AssertionSuccess();
}

// PolicyDefinitionFiles.xsd and PolicyDefinitions.xsd: the children each element may have, in
// the order of the schema's sequences. Choices ("elements", "presentation") are not listed.
const std::map<std::wstring, std::vector<std::wstring>> kSchemaOrder = {
    {L"policyDefinitions",
     {L"policyNamespaces", L"supersededAdm", L"annotation", L"resources", L"supportedOn", L"categories", L"policies"}},
    {L"policyNamespaces", {L"target", L"using"}},
    {L"supportedOn", {L"products", L"definitions"}},
    {L"definitions", {L"definition"}},
    {L"categories", {L"category"}},
    {L"category", {L"annotation", L"parentCategory", L"seeAlso", L"keywords"}},
    {L"policies", {L"policy"}},
    {L"policy",
     {L"annotation", L"parentCategory", L"seeAlso", L"keywords", L"supportedOn", L"enabledValue", L"disabledValue",
      L"enabledList", L"disabledList", L"elements"}},
    {L"enum", {L"item"}},
    {L"item", {L"value", L"valueList"}},
    {L"policyDefinitionResources", {L"displayName", L"description", L"annotation", L"resources"}},
    {L"resources", {L"stringTable", L"presentationTable"}},
    {L"stringTable", {L"string"}},
    {L"presentationTable", {L"presentation"}},
};

void ExpectSchemaOrder(const XmlElement& element, const std::wstring& where) {
    const auto order = kSchemaOrder.find(element.name);
    size_t last = 0;
    for (const XmlElement& child : element.children) {
        const std::wstring path = where + L"/" + child.name;
        if (order != kSchemaOrder.end()) {
            const auto at = std::find(order->second.begin(), order->second.end(), child.name);
            EXPECT_NE(at, order->second.end()) << "not in the schema: " << ::testing::PrintToString(path);
            const size_t index = static_cast<size_t>(at - order->second.begin());
            EXPECT_GE(index, last) << "out of the schema's order: " << ::testing::PrintToString(path);
            last = std::max(last, index);
        }
        ExpectSchemaOrder(child, path);
    }
}

// Every "$(kind.X)" in the attributes below element.
void CollectReferences(const XmlElement& element, const std::wstring& kind, std::set<std::wstring>* found) {
    const std::wstring prefix = L"$(" + kind + L".";
    for (const auto& attribute : element.attributes)
        if (attribute.second.compare(0, prefix.size(), prefix) == 0 && attribute.second.back() == L')')
            found->insert(attribute.second.substr(prefix.size(), attribute.second.size() - prefix.size() - 1));
    for (const XmlElement& child : element.children) CollectReferences(child, kind, found);
}

std::set<std::wstring> Ids(const XmlElement* table, const wchar_t* key) {
    std::set<std::wstring> ids;
    if (table)
        for (const XmlElement& entry : table->children) ids.insert(entry.Attribute(key));
    return ids;
}

// Key, type and range of a registry value as the ADMX writes it.
struct TemplateValue {
    std::wstring key;
    std::wstring type;
    DWORD minimum = 0;
    DWORD maximum = 0;
    bool operator==(const TemplateValue& o) const {
        return key == o.key && type == o.type && minimum == o.minimum && maximum == o.maximum;
    }
};
void PrintTo(const TemplateValue& v, std::ostream* out) {
    *out << ::testing::PrintToString(v.key) << " " << ::testing::PrintToString(v.type) << " " << v.minimum << "-"
         << v.maximum;
}

// The DWORDs of enabledValue/disabledValue or of enum items; "" as the type if any is not a decimal.
TemplateValue DecimalChoices(const std::wstring& key, const std::vector<const XmlElement*>& values) {
    TemplateValue result{key, L"REG_DWORD", ~0u, 0};
    for (const XmlElement* value : values) {
        const XmlElement* number = value ? value->Child(L"decimal") : nullptr;
        if (!number) return {key, L"", 0, 0};
        const DWORD n = std::wcstoul(number->Attribute(L"value").c_str(), nullptr, 10);
        result.minimum = std::min(result.minimum, n);
        result.maximum = std::max(result.maximum, n);
    }
    if (values.size() != result.maximum - result.minimum + 1) result.type += L" with gaps";
    return result;
}

// Value name -> what the ADMX writes for it.
std::map<std::wstring, TemplateValue> TemplateValues(const XmlElement& admx) {
    std::map<std::wstring, TemplateValue> found;
    for (const XmlElement& policy : admx.Child(L"policies")->children) {
        const std::wstring key = policy.Attribute(L"key");
        if (!policy.Attribute(L"valueName").empty())
            found[policy.Attribute(L"valueName")] =
                DecimalChoices(key, {policy.Child(L"enabledValue"), policy.Child(L"disabledValue")});
        const XmlElement* elements = policy.Child(L"elements");
        for (const XmlElement& element : elements ? elements->children : std::vector<XmlElement>()) {
            const std::wstring elementKey = element.Attribute(L"key").empty() ? key : element.Attribute(L"key");
            const std::wstring valueName = element.Attribute(L"valueName");
            if (element.name == L"decimal" && element.Attribute(L"storeAsText") != L"true") {
                found[valueName] = {elementKey, L"REG_DWORD",
                                    std::wcstoul(element.Attribute(L"minValue").c_str(), nullptr, 10),
                                    std::wcstoul(element.Attribute(L"maxValue").c_str(), nullptr, 10)};
            } else if (element.name == L"enum") {
                std::vector<const XmlElement*> values;
                for (const XmlElement& item : element.children) values.push_back(item.Child(L"value"));
                found[valueName] = DecimalChoices(elementKey, values);
            } else if (element.name == L"list" && element.attributes.count(L"valuePrefix") == 0 &&
                       element.Attribute(L"explicitValue") != L"true" && element.Attribute(L"expandable") != L"true") {
                found[elementKey.substr(elementKey.rfind(L'\\') + 1)] = {elementKey, L"REG_SZ list", 0, 0};
            } else {
                found[valueName + L"?"] = {elementKey, element.name, 0, 0};
            }
        }
    }
    return found;
}

class AdministrativeTemplates : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    static void TearDownTestSuite() { ::CoUninitialize(); }
};

}  // namespace

TEST_F(AdministrativeTemplates, WellFormedInSchemaOrderAndEveryReferenceDefined) {
    XmlElement admx;
    ASSERT_TRUE(ParseXmlFile(PolicyFile(L"DormiGuard.admx"), &admx));
    ExpectSchemaOrder(admx, admx.name);
    EXPECT_EQ(admx.Child(L"policyNamespaces")->Child(L"target")->Attribute(L"namespace"), L"DormiGuard.Policies");
    EXPECT_FALSE(admx.Attribute(L"revision").empty());
    std::set<std::wstring> strings;
    std::set<std::wstring> presentations;
    CollectReferences(admx, L"string", &strings);
    CollectReferences(admx, L"presentation", &presentations);

    for (const wchar_t* language : {L"en-US\\DormiGuard.adml", L"ja-JP\\DormiGuard.adml"}) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(language)));
        XmlElement adml;
        ASSERT_TRUE(ParseXmlFile(PolicyFile(language), &adml));
        ExpectSchemaOrder(adml, adml.name);
        const XmlElement* resources = adml.Child(L"resources");
        ASSERT_NE(resources, nullptr);
        const std::set<std::wstring> definedStrings = Ids(resources->Child(L"stringTable"), L"id");
        for (const std::wstring& id : strings) EXPECT_EQ(definedStrings.count(id), 1u) << "$(string." << ::testing::PrintToString(id);
        const XmlElement* presentationTable = resources->Child(L"presentationTable");
        EXPECT_EQ(Ids(presentationTable, L"id"), presentations) << "each presentation defined and used";
        // Each policy's presentation shows exactly the policy's elements, by refId.
        std::map<std::wstring, std::set<std::wstring>> refIds;
        for (const XmlElement& presentation : presentationTable->children)
            refIds[L"$(presentation." + presentation.Attribute(L"id") + L")"] = Ids(&presentation, L"refId");
        for (const XmlElement& policy : admx.Child(L"policies")->children)
            EXPECT_EQ(refIds[policy.Attribute(L"presentation")], Ids(policy.Child(L"elements"), L"id"))
                << ::testing::PrintToString(policy.Attribute(L"name"));
    }
}

TEST_F(AdministrativeTemplates, AgreeWithTheProgramsPolicyTable) {
    XmlElement admx;
    ASSERT_TRUE(ParseXmlFile(PolicyFile(L"DormiGuard.admx"), &admx));
    for (const XmlElement& policy : admx.Child(L"policies")->children)
        EXPECT_EQ(policy.Attribute(L"class"), L"Both") << ::testing::PrintToString(policy.Attribute(L"name"));
    std::map<std::wstring, TemplateValue> expected;
    for (const PolicyDefinition& row : kPolicyTable) {
        if (row.type == PolicyType::Dword)
            expected[row.valueName] = {L"Software\\Policies\\DormiGuard", L"REG_DWORD", row.minimum, row.maximum};
        else
            expected[row.valueName] = {std::wstring(L"Software\\Policies\\DormiGuard\\") + row.valueName, L"REG_SZ list", 0, 0};
    }
    EXPECT_EQ(TemplateValues(admx), expected);
    EXPECT_EQ(admx.Child(L"policies")->children.size(), kPolicyCount);
}
