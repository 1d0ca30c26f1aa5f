// The stand-in for Access, driven through real out-of-process COM by name, as the launchers
// drive it: what it answers, what it records, how standin.ini changes it, its window and its life.
#include <windows.h>

#include <gtest/gtest.h>
#include <oleauto.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "harness.h"
#include "owners.h"
#include "standin_control.h"

namespace {

using namespace harness;

constexpr UINT kNoArgument = ~0u;

constexpr HRESULT kAccessCannotOpenDatabase = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 7866);
// "123456789" is the usual check input of CRC-32.
constexpr char kDatabaseContent[] = "123456789";
constexpr wchar_t kDatabaseDetails[] = L"ok size=9 crc32=CBF43926";

using DispatchPtr = owners::com_ptr<IDispatch>;

struct Variant {
    VARIANT value;
    Variant() { VariantInit(&value); }
    Variant(const Variant& other) {
        VariantInit(&value);
        VariantCopy(&value, const_cast<VARIANT*>(&other.value));
    }
    Variant& operator=(const Variant& other) {
        if (this != &other) {
            VariantClear(&value);
            VariantCopy(&value, const_cast<VARIANT*>(&other.value));
        }
        return *this;
    }
    ~Variant() { VariantClear(&value); }
};

// A VARIANT of the type, with its value filled in.
template <typename Fill>
Variant Make(VARTYPE type, Fill fill) {
    Variant v;
    v.value.vt = type;
    fill(v.value);
    return v;
}

Variant Bstr(const std::wstring& text) {
    return Make(VT_BSTR, [&](VARIANT& v) {
        v.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    });
}
Variant I2(SHORT number) {
    return Make(VT_I2, [&](VARIANT& v) { v.iVal = number; });
}
Variant I4(LONG number) {
    return Make(VT_I4, [&](VARIANT& v) { v.lVal = number; });
}
Variant Bool(bool truth) {
    return Make(VT_BOOL, [&](VARIANT& v) { v.boolVal = truth ? VARIANT_TRUE : VARIANT_FALSE; });
}
Variant Null() {
    return Make(VT_NULL, [](VARIANT&) {});
}

struct Outcome {
    HRESULT result = E_UNEXPECTED;
    Variant value;
    HRESULT exceptionCode = S_OK;
    std::wstring exceptionText;
    UINT argumentError = kNoArgument;
};

DISPID IdOf(IDispatch* object, const wchar_t* name, HRESULT* result = nullptr) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT looked = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (result)
        *result = looked;
    return id;
}

// arguments in call order; a put passes its one value as the named DISPID_PROPERTYPUT argument
// unless namePutValue is false.
Outcome InvokeId(IDispatch* object, DISPID id, WORD flags, const std::vector<Variant>& arguments,
                 bool namePutValue = true) {
    std::vector<VARIANT> reversed;
    for (auto it = arguments.rbegin(); it != arguments.rend(); ++it)
        reversed.push_back(it->value);
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{};
    params.cArgs = static_cast<UINT>(reversed.size());
    params.rgvarg = reversed.empty() ? nullptr : reversed.data();
    if ((flags & DISPATCH_PROPERTYPUT) && namePutValue) {
        params.cNamedArgs = 1;
        params.rgdispidNamedArgs = &putId;
    }
    Outcome outcome;
    EXCEPINFO exception{};
    outcome.result = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                    &outcome.value.value, &exception, &outcome.argumentError);
    outcome.exceptionCode = exception.scode;
    if (exception.bstrDescription)
        outcome.exceptionText = exception.bstrDescription;
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    return outcome;
}

// A late-bound call: the name is looked up, then invoked, as the launchers call Access.
Outcome Call(IDispatch* object, const wchar_t* name, WORD flags,
             const std::vector<Variant>& arguments = {}) {
    HRESULT looked = S_OK;
    DISPID id = IdOf(object, name, &looked);
    if (FAILED(looked)) {
        Outcome failed;
        failed.result = looked;
        return failed;
    }
    return InvokeId(object, id, flags, arguments);
}

Outcome Get(IDispatch* object, const wchar_t* name) {
    return Call(object, name, DISPATCH_PROPERTYGET | DISPATCH_METHOD);
}

Outcome Put(IDispatch* object, const wchar_t* name, const Variant& value) {
    return Call(object, name, DISPATCH_PROPERTYPUT, {value});
}

std::wstring Text(const Variant& v) {
    return v.value.vt == VT_BSTR ? std::wstring(v.value.bstrVal, SysStringLen(v.value.bstrVal))
                                 : L"<not a BSTR>";
}

std::vector<StandInWindow> WindowsOf(DWORD processId) {
    std::vector<StandInWindow> windows = FindStandInWindows();
    std::erase_if(windows, [&](const StandInWindow& w) { return w.processId != processId; });
    return windows;
}

std::optional<StandInWindow> WindowInfo(HWND handle) {
    for (const StandInWindow& window : FindStandInWindows())
        if (window.window == handle)
            return window;
    return std::nullopt;
}

class StandIn : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        comStarted_ = true;
        folder_ = MakeTestFolder(L"standin_selftest\\" + CurrentTestName());
        ASSERT_TRUE(SwitchStandInTo(folder_));
        database_ = folder_ + L"\\Orvantis.mde";
        ASSERT_TRUE(WriteFileBytes(database_, {kDatabaseContent, kDatabaseContent + 9}));
    }

    void TearDown() override {
        EndAllStandIns();
        SetEnvironmentVariableW(L"ORVANTIS_STANDIN_DIR", nullptr);
        if (comStarted_)
            CoUninitialize();
    }

    DispatchPtr CreateAccess() {
        CLSID clsid{};
        HRESULT found = CLSIDFromProgID(L"Access.Application", &clsid);
        EXPECT_EQ(found, S_OK) << "\"Access.Application\" is not registered";
        IDispatch* object = nullptr;
        HRESULT created = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                           reinterpret_cast<void**>(&object));
        EXPECT_EQ(created, S_OK);
        return DispatchPtr(SUCCEEDED(created) ? object : nullptr);
    }

    std::vector<StandInCall> Calls() const { return ReadStandInCalls(folder_); }

    StandInCall LastCall() const {
        std::vector<StandInCall> calls = Calls();
        return calls.empty() ? StandInCall{} : calls.back();
    }

    bool comStarted_ = false;
    std::wstring folder_;
    std::wstring database_;
};

TEST_F(StandIn, FindsEachMemberByNameInAnyLetterCase) {
    DispatchPtr access = CreateAccess();
    ASSERT_TRUE(access);
    const std::vector<std::vector<const wchar_t*>> spellings = {
        {L"Version", L"version", L"VERSION"},
        {L"AutomationSecurity", L"automationsecurity", L"AUTOMATIONSECURITY"},
        {L"OpenCurrentDatabase", L"opencurrentdatabase", L"OpenCurrentDataBase"},
        {L"Visible", L"visible", L"VISIBLE"},
        {L"hWndAccessApp", L"hWndaccessApp", L"HWNDACCESSAPP"},
    };
    std::set<DISPID> ids;
    for (const auto& names : spellings) {
        HRESULT looked = E_FAIL;
        DISPID id = IdOf(access.get(), names[0], &looked);
        EXPECT_EQ(looked, S_OK) << Narrow(names[0]);
        ids.insert(id);
        for (const wchar_t* other : names) {
            EXPECT_EQ(IdOf(access.get(), other, &looked), id) << Narrow(other);
            EXPECT_EQ(looked, S_OK) << Narrow(other);
        }
    }
    EXPECT_EQ(ids.size(), spellings.size()) << "each member has its own DISPID";

    for (const wchar_t* unknown : {L"Quit", L"Versions", L"hWnd", L"DoCmd"}) {
        HRESULT looked = S_OK;
        EXPECT_EQ(IdOf(access.get(), unknown, &looked), DISPID_UNKNOWN) << Narrow(unknown);
        EXPECT_EQ(looked, DISP_E_UNKNOWNNAME) << Narrow(unknown);
    }
    EXPECT_EQ(Calls(), (std::vector<StandInCall>{
                           {L"Quit", L"lookup", {}, L"unknown name"},
                           {L"Versions", L"lookup", {}, L"unknown name"},
                           {L"hWnd", L"lookup", {}, L"unknown name"},
                           {L"DoCmd", L"lookup", {}, L"unknown name"},
                       }))
        << "only failed lookups are recorded";
}

TEST_F(StandIn, RecordsALaunchWithTheArgumentTypesAsPassed) {
    DispatchPtr access = CreateAccess();
    ASSERT_TRUE(access);

    Outcome version = Get(access.get(), L"Version");
    EXPECT_EQ(version.result, S_OK);
    EXPECT_EQ(Text(version.value), L"11.0");
    EXPECT_EQ(Put(access.get(), L"AutomationSecurity", I2(1)).result, S_OK);
    EXPECT_EQ(Call(access.get(), L"OpenCurrentDatabase", DISPATCH_METHOD, {Bstr(database_)}).result,
              S_OK);
    EXPECT_EQ(Put(access.get(), L"Visible", Bool(true)).result, S_OK);
    Outcome handle = Get(access.get(), L"hWndaccessApp");
    EXPECT_EQ(handle.result, S_OK);
    ASSERT_EQ(handle.value.value.vt, VT_I4);

    std::vector<StandInWindow> windows = FindStandInWindows();
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_EQ(handle.value.value.lVal, HandleToLong(windows[0].window));
    EXPECT_EQ(Calls(),
              (std::vector<StandInCall>{
                  {L"Version", L"get", {}, L"BSTR:11.0"},
                  {L"AutomationSecurity", L"put", {L"I2:1"}, L""},
                  {L"OpenCurrentDatabase", L"call", {L"BSTR:" + database_}, kDatabaseDetails},
                  {L"Visible", L"put", {L"BOOL:-1"}, L""},
                  {L"hWndaccessApp", L"get", {}, L"I4:" + std::to_wstring(handle.value.value.lVal)},
              }));
}

TEST_F(StandIn, KeepsWhatIsPutIntoItsProperties) {
    DispatchPtr access = CreateAccess();
    ASSERT_TRUE(access);
    Outcome level = Get(access.get(), L"AutomationSecurity");
    EXPECT_EQ(level.value.value.vt, VT_I4);
    EXPECT_EQ(level.value.value.lVal, 1) << "Low is the level under automation";
    EXPECT_EQ(Put(access.get(), L"AutomationSecurity", I4(3)).result, S_OK);
    EXPECT_EQ(Get(access.get(), L"AutomationSecurity").value.value.lVal, 3);
    EXPECT_EQ(Put(access.get(), L"AutomationSecurity", I4(4)).result, DISP_E_EXCEPTION)
        << "levels are 1 to 3";
    EXPECT_EQ(Get(access.get(), L"AutomationSecurity").value.value.lVal, 3);

    Outcome visible = Get(access.get(), L"Visible");
    EXPECT_EQ(visible.value.value.vt, VT_BOOL);
    EXPECT_EQ(visible.value.value.boolVal, VARIANT_FALSE);
    EXPECT_EQ(Put(access.get(), L"Visible", Bool(true)).result, S_OK);
    EXPECT_EQ(Get(access.get(), L"Visible").value.value.boolVal, VARIANT_TRUE);
    EXPECT_EQ(Put(access.get(), L"Visible", Bool(false)).result, S_OK);
    EXPECT_EQ(Get(access.get(), L"Visible").value.value.boolVal, VARIANT_FALSE);
}

TEST_F(StandIn, AnswersVersionAsStandinIniSaysAtEveryCall) {
    struct Row {
        StandInConfig config;
        HRESULT result;
        std::wstring version;
        std::wstring details;
    };
    const std::vector<Row> rows = {
        {{}, S_OK, L"11.0", L"BSTR:11.0"},
        {{{L"version", L"9.0"}}, S_OK, L"9.0", L"BSTR:9.0"},
        {{{L"version", L"11.0 "}}, S_OK, L"11.0 ", L"BSTR:11.0 "},
        {{{L"version", L"12.0"}, {L"unknown_key", L"1"}}, S_OK, L"12.0", L"BSTR:12.0"},
        {{{L"version", L""}}, S_OK, L"", L"BSTR:"},
        {{{L"version_fails", L"1"}}, DISP_E_EXCEPTION, L"", L"fails (version_fails)"},
        {{{L"version_fails", L"0"}}, S_OK, L"11.0", L"BSTR:11.0"},
    };
    // One object for all rows: the server reads standin.ini afresh at every call.
    DispatchPtr access = CreateAccess();
    ASSERT_TRUE(access);
    for (const Row& row : rows) {
        ASSERT_TRUE(PrepareStandInFolder(folder_, row.config));
        Outcome version = Get(access.get(), L"Version");
        SCOPED_TRACE(Narrow(row.details));
        EXPECT_EQ(version.result, row.result);
        if (SUCCEEDED(row.result)) {
            EXPECT_EQ(Text(version.value), row.version);
        }
        EXPECT_EQ(Calls(), (std::vector<StandInCall>{{L"Version", L"get", {}, row.details}}));
    }
}

TEST_F(StandIn, ForgetsAutomationSecurityWhenToldSo) {
    DispatchPtr access = CreateAccess();
    ASSERT_TRUE(access);
    DISPID known = IdOf(access.get(), L"AutomationSecurity");
    ASSERT_NE(known, DISPID_UNKNOWN);

    ASSERT_TRUE(PrepareStandInFolder(folder_, {{L"no_automation_security", L"1"}}));
    HRESULT looked = S_OK;
    EXPECT_EQ(IdOf(access.get(), L"AutomationSecurity", &looked), DISPID_UNKNOWN);
    EXPECT_EQ(looked, DISP_E_UNKNOWNNAME);
    EXPECT_EQ(InvokeId(access.get(), known, DISPATCH_PROPERTYPUT, {I2(1)}).result,
              DISP_E_MEMBERNOTFOUND)
        << "a DISPID learned before does not bring the member back";
    EXPECT_EQ(Get(access.get(), L"Version").result, S_OK) << "the other members stay";
    EXPECT_EQ(Calls(), (std::vector<StandInCall>{
                           {L"AutomationSecurity", L"lookup", {}, L"unknown name"},
                           {L"AutomationSecurity", L"put", {L"I2:1"}, L"unknown member"},
                           {L"Version", L"get", {}, L"BSTR:11.0"},
                       }));
}

TEST_F(StandIn, OpensAnExistingDatabaseAfterTheConfiguredDelayWithoutHoldingIt) {
    ASSERT_TRUE(PrepareStandInFolder(folder_, {{L"open_delay_ms", L"700"}}));
    DispatchPtr access = CreateAccess();
    ASSERT_TRUE(access);
    const ULONGLONG before = GetTickCount64();
    Outcome opened = Call(access.get(), L"OpenCurrentDatabase", DISPATCH_METHOD, {Bstr(database_)});
    const ULONGLONG waited = GetTickCount64() - before;
    EXPECT_EQ(opened.result, S_OK);
    EXPECT_GE(waited, 600u) << "the answer came before the delay had passed";
    EXPECT_EQ(
        LastCall(),
        (StandInCall{L"OpenCurrentDatabase", L"call", {L"BSTR:" + database_}, kDatabaseDetails}));

    HANDLE exclusive = CreateFileW(database_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(exclusive, INVALID_HANDLE_VALUE) << "the stand-in still holds the database";
    if (exclusive != INVALID_HANDLE_VALUE)
        CloseHandle(exclusive);
    EXPECT_TRUE(DeleteFileW(database_.c_str()));
}

TEST_F(StandIn, FailsToOpenADatabaseThatIsMissingOrHeld) {
    DispatchPtr access = CreateAccess();
    ASSERT_TRUE(access);
    const std::wstring missing = folder_ + L"\\Nothing.mde";
    Outcome opened = Call(access.get(), L"OpenCurrentDatabase", DISPATCH_METHOD, {Bstr(missing)});
    EXPECT_EQ(opened.result, DISP_E_EXCEPTION);
    EXPECT_EQ(opened.exceptionCode, kAccessCannotOpenDatabase);
    EXPECT_NE(opened.exceptionText.find(missing), std::wstring::npos)
        << Narrow(opened.exceptionText);
    EXPECT_EQ(LastCall(),
              (StandInCall{L"OpenCurrentDatabase", L"call", {L"BSTR:" + missing}, L"missing"}));
    const std::wstring inMissingFolder = folder_ + L"\\no such folder\\Orvantis.mde";
    EXPECT_EQ(
        Call(access.get(), L"OpenCurrentDatabase", DISPATCH_METHOD, {Bstr(inMissingFolder)}).result,
        DISP_E_EXCEPTION);
    EXPECT_EQ(LastCall().details, L"missing");

    HANDLE held = CreateFileW(database_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    opened = Call(access.get(), L"OpenCurrentDatabase", DISPATCH_METHOD, {Bstr(database_)});
    CloseHandle(held);
    EXPECT_EQ(opened.result, DISP_E_EXCEPTION);
    EXPECT_EQ(opened.exceptionCode, kAccessCannotOpenDatabase);
    EXPECT_EQ(LastCall().details, L"unreadable error=" + std::to_wstring(ERROR_SHARING_VIOLATION));

    std::vector<StandInWindow> windows = FindStandInWindows();
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_EQ(windows[0].title, L"Orvantis stand-in") << "no database is open";
}

TEST_F(StandIn, RecordsUnicodePathsAndEscapesItsSeparators) {
    const std::wstring database =
        folder_ + L"\\Datenbank \u00e4\u00f6\u00fc \u65e5\u672c, 100%.mde";
    ASSERT_TRUE(WriteFileBytes(database, {kDatabaseContent, kDatabaseContent + 9}));
    DispatchPtr access = CreateAccess();
    ASSERT_TRUE(access);
    EXPECT_EQ(Call(access.get(), L"OpenCurrentDatabase", DISPATCH_METHOD, {Bstr(database)}).result,
              S_OK);
    EXPECT_EQ(Calls(),
              (std::vector<StandInCall>{
                  {L"OpenCurrentDatabase", L"call", {L"BSTR:" + database}, kDatabaseDetails}}));
    std::vector<StandInWindow> windows = FindStandInWindows();
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_EQ(windows[0].title,
              L"Orvantis stand-in - Datenbank \u00e4\u00f6\u00fc \u65e5\u672c, 100%.mde");
}

TEST_F(StandIn, RefusesMalformedCallsAsAutomationDoesAndRecordsThem) {
    DispatchPtr access = CreateAccess();
    ASSERT_TRUE(access);
    constexpr WORD get = DISPATCH_PROPERTYGET;
    constexpr WORD put = DISPATCH_PROPERTYPUT;
    constexpr WORD method = DISPATCH_METHOD;
    auto invoke = [&](const wchar_t* name, WORD flags, const std::vector<Variant>& arguments) {
        return InvokeId(access.get(), IdOf(access.get(), name), flags, arguments);
    };
    std::size_t calls = 0;
    auto expect = [&](const char* what, const Outcome& outcome, HRESULT result,
                      const StandInCall& line, UINT argumentError = kNoArgument) {
        SCOPED_TRACE(what);
        ++calls;
        EXPECT_EQ(outcome.result, result);
        if (argumentError != kNoArgument) {
            EXPECT_EQ(outcome.argumentError, argumentError);
        }
        EXPECT_EQ(LastCall(), line);
    };
    const std::wstring path = L"BSTR:" + database_;

    expect("open without arguments", invoke(L"OpenCurrentDatabase", method, {}),
           DISP_E_BADPARAMCOUNT, {L"OpenCurrentDatabase", L"call", {}, L"bad parameter count"});
    expect("open with four arguments",
           invoke(L"OpenCurrentDatabase", method, {Bstr(database_), Bool(false), Bstr(L""), I2(0)}),
           DISP_E_BADPARAMCOUNT,
           {L"OpenCurrentDatabase",
            L"call",
            {path, L"BOOL:0", L"BSTR:", L"I2:0"},
            L"bad parameter count"});
    expect("open with Exclusive and password",
           invoke(L"OpenCurrentDatabase", method, {Bstr(database_), Bool(false), Bstr(L"pw")}),
           S_OK,
           {L"OpenCurrentDatabase", L"call", {path, L"BOOL:0", L"BSTR:pw"}, kDatabaseDetails});
    expect("open of Null", invoke(L"OpenCurrentDatabase", method, {Null()}), DISP_E_TYPEMISMATCH,
           {L"OpenCurrentDatabase", L"call", {L"NULL:"}, L"type mismatch"}, 0);
    expect("open of a number, taken as its text", invoke(L"OpenCurrentDatabase", method, {I4(123)}),
           DISP_E_EXCEPTION, {L"OpenCurrentDatabase", L"call", {L"I4:123"}, L"missing"});
    expect("open with an Exclusive that is no truth value",
           invoke(L"OpenCurrentDatabase", method, {Bstr(database_), Bstr(L"maybe")}),
           DISP_E_TYPEMISMATCH,
           {L"OpenCurrentDatabase", L"call", {path, L"BSTR:maybe"}, L"type mismatch"}, 0);
    expect("open read as a property", invoke(L"OpenCurrentDatabase", get, {}),
           DISP_E_MEMBERNOTFOUND, {L"OpenCurrentDatabase", L"call", {}, L"not a method call"});
    expect("Visible put of a word", invoke(L"Visible", put, {Bstr(L"maybe")}), DISP_E_TYPEMISMATCH,
           {L"Visible", L"put", {L"BSTR:maybe"}, L"type mismatch"}, 0);
    expect("Visible put of a number", invoke(L"Visible", put, {I4(0)}), S_OK,
           {L"Visible", L"put", {L"I4:0"}, L""});
    expect("Visible put without DISPID_PROPERTYPUT",
           InvokeId(access.get(), IdOf(access.get(), L"Visible"), put, {Bool(true)}, false),
           DISP_E_PARAMNOTFOUND,
           {L"Visible", L"put", {L"BOOL:-1"}, L"value not named DISPID_PROPERTYPUT"});
    expect("AutomationSecurity put of a text", invoke(L"AutomationSecurity", put, {Bstr(L"2")}),
           S_OK, {L"AutomationSecurity", L"put", {L"BSTR:2"}, L""});
    expect("AutomationSecurity put of two values",
           invoke(L"AutomationSecurity", put, {I2(1), I2(2)}), DISP_E_BADPARAMCOUNT,
           {L"AutomationSecurity", L"put", {L"I2:1", L"I2:2"}, L"bad parameter count"});
    expect("Version put", invoke(L"Version", put, {Bstr(L"12.0")}), DISP_E_MEMBERNOTFOUND,
           {L"Version", L"put", {L"BSTR:12.0"}, L"read-only"});
    expect("hWndAccessApp put", invoke(L"hWndAccessApp", put, {I4(1)}), DISP_E_MEMBERNOTFOUND,
           {L"hWndAccessApp", L"put", {L"I4:1"}, L"read-only"});
    expect("Version read with an argument", invoke(L"Version", get, {I2(1)}), DISP_E_BADPARAMCOUNT,
           {L"Version", L"get", {L"I2:1"}, L"bad parameter count"});
    expect("a DISPID nobody was given", InvokeId(access.get(), 77, get, {}), DISP_E_MEMBERNOTFOUND,
           {L"#77", L"get", {}, L"unknown member"});
    expect("a negative DISPID called", InvokeId(access.get(), -5, method, {Bstr(L"x")}),
           DISP_E_MEMBERNOTFOUND, {L"#-5", L"call", {L"BSTR:x"}, L"unknown member"});

    EXPECT_EQ(Calls().size(), calls) << "one line per call";
    EXPECT_EQ(Get(access.get(), L"Version").result, S_OK) << "the server goes on answering";
}

TEST_F(StandIn, ShowsItsWindowWhenMadeVisible) {
    DispatchPtr access = CreateAccess();
    ASSERT_TRUE(access);
    std::vector<StandInWindow> windows = FindStandInWindows();
    ASSERT_EQ(windows.size(), 1u) << "each object has its window from the start";
    EXPECT_FALSE(windows[0].visible);
    EXPECT_EQ(windows[0].title, L"Orvantis stand-in");
    const HWND window = windows[0].window;
    LONG style = GetWindowLongW(window, GWL_STYLE);
    EXPECT_EQ(style & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW);
    EXPECT_EQ(GetAncestor(window, GA_ROOT), window);
    EXPECT_EQ(Get(access.get(), L"hWndAccessApp").value.value.lVal, HandleToLong(window));

    EXPECT_EQ(Call(access.get(), L"OpenCurrentDatabase", DISPATCH_METHOD, {Bstr(database_)}).result,
              S_OK);
    EXPECT_EQ(WindowText(window), L"Orvantis stand-in - Orvantis.mde");
    EXPECT_FALSE(IsWindowVisible(window)) << "opening does not show the window";
    EXPECT_EQ(Put(access.get(), L"Visible", Bool(true)).result, S_OK);
    EXPECT_TRUE(IsWindowVisible(window));

    // The launchers maximise the window by its handle, and the harness must see that.
    ShowWindow(window, SW_SHOWMAXIMIZED);
    std::optional<StandInWindow> shown = WindowInfo(window);
    ASSERT_TRUE(shown);
    EXPECT_TRUE(shown->visible);
    EXPECT_TRUE(shown->maximised);

    // Something is painted: the client area is not one plain colour.
    EXPECT_TRUE(WaitUntil([&] { return !CaptureClient(window).Plain(); }, 5000));
}

TEST_F(StandIn, OutlivesItsClientsAndEndsWhenItsLastWindowCloses) {
    DispatchPtr first = CreateAccess();
    ASSERT_TRUE(first);
    const HWND firstWindow =
        static_cast<HWND>(LongToHandle(Get(first.get(), L"hWndAccessApp").value.value.lVal));
    DWORD serverId = 0;
    GetWindowThreadProcessId(firstWindow, &serverId);
    ASSERT_NE(serverId, 0u);
    const owners::unique_handle serverOwner(OpenProcess(SYNCHRONIZE, FALSE, serverId));
    const HANDLE server = serverOwner.get();
    ASSERT_TRUE(server);

    first.reset();
    DispatchPtr second = CreateAccess();
    ASSERT_TRUE(second);
    const HWND secondWindow =
        static_cast<HWND>(LongToHandle(Get(second.get(), L"hWndAccessApp").value.value.lVal));
    EXPECT_TRUE(IsWindow(firstWindow)) << "the window of a released object stays";
    EXPECT_NE(secondWindow, firstWindow) << "each object has its own window";
    EXPECT_EQ(WindowsOf(serverId).size(), 2u) << "the server that served the first object went on";

    PostMessageW(firstWindow, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(firstWindow); }));
    EXPECT_EQ(WaitForSingleObject(server, 0), static_cast<DWORD>(WAIT_TIMEOUT))
        << "one window is still open";
    EXPECT_EQ(Get(second.get(), L"Version").result, S_OK);

    PostMessageW(secondWindow, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(server, kDefaultTimeoutMs), static_cast<DWORD>(WAIT_OBJECT_0))
        << "the server did not end with its last window";
    EXPECT_TRUE(FAILED(Get(second.get(), L"Version").result))
        << "a client still holding an object gets an error, not a crash";
}

TEST_F(StandIn, RefusesCallsOnAnObjectWhoseWindowWasClosed) {
    DispatchPtr kept = CreateAccess();
    DispatchPtr closed = CreateAccess();
    ASSERT_TRUE(kept && closed);
    const HWND window =
        static_cast<HWND>(LongToHandle(Get(closed.get(), L"hWndAccessApp").value.value.lVal));
    PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(window); }));

    Outcome refused = Get(closed.get(), L"Visible");
    EXPECT_EQ(refused.result, DISP_E_EXCEPTION);
    EXPECT_EQ(LastCall(), (StandInCall{L"Visible", L"get", {}, L"closed"}));
    EXPECT_EQ(Put(kept.get(), L"Visible", Bool(true)).result, S_OK);
}

TEST_F(StandIn, CanBeCreatedAgainAfterAServerHadToBeTerminated) {
    // A server asked only for its class object has no object, hence no window to close.
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(L"Access.Application", &clsid), S_OK);
    IClassFactory* factory = nullptr;
    ASSERT_EQ(CoGetClassObject(clsid, CLSCTX_LOCAL_SERVER, nullptr, IID_IClassFactory,
                               reinterpret_cast<void**>(&factory)),
              S_OK);
    factory->Release();
    EXPECT_TRUE(FindStandInWindows().empty());
    EndAllStandIns();

    DispatchPtr access = CreateAccess();
    ASSERT_TRUE(access) << "the terminated server's class object was handed out";
    EXPECT_EQ(Get(access.get(), L"Version").result, S_OK);
}

TEST_F(StandIn, RegistersAndUnregistersItsClass) {
    // Whatever happens here, the prefix is left with the stand-in registered for the other tests.
    struct Reregister {
        ~Reregister() { EXPECT_TRUE(RegisterStandIn()); }
    } reregister;
    const std::wstring progIdKey = L"Access.Application\\CLSID";

    ASSERT_TRUE(RegisterStandIn());
    std::optional<RegValue> clsid = ReadValue(HKEY_CLASSES_ROOT, progIdKey, L"");
    ASSERT_TRUE(clsid);
    const std::wstring classKey = L"CLSID\\" + TextOf(clsid->data);
    std::optional<RegValue> server =
        ReadValue(HKEY_CLASSES_ROOT, classKey + L"\\LocalServer32", L"");
    ASSERT_TRUE(server);
    EXPECT_EQ(server->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(TextOf(server->data), L"\"" + StandInExePath() + L"\"");
    std::optional<RegValue> progId = ReadValue(HKEY_CLASSES_ROOT, classKey + L"\\ProgID", L"");
    ASSERT_TRUE(progId);
    EXPECT_EQ(TextOf(progId->data), L"Access.Application");

    ASSERT_TRUE(UnregisterStandIn());
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Access.Application"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, classKey));
    CLSID found{};
    EXPECT_EQ(CLSIDFromProgID(L"Access.Application", &found), CO_E_CLASSSTRING);
    EXPECT_TRUE(UnregisterStandIn()) << "removing what is gone succeeds";

    // Another server's "Access.Application" is left alone.
    const std::wstring foreign = L"{00000000-1111-2222-3333-444444444444}";
    ASSERT_TRUE(WriteValue(HKEY_CLASSES_ROOT, progIdKey, L"", REG_SZ, StringBytes(foreign)));
    EXPECT_TRUE(UnregisterStandIn());
    std::optional<RegValue> kept = ReadValue(HKEY_CLASSES_ROOT, progIdKey, L"");
    ASSERT_TRUE(kept);
    EXPECT_EQ(TextOf(kept->data), foreign);
    EXPECT_TRUE(DeleteTree(HKEY_CLASSES_ROOT, L"Access.Application"));

    ASSERT_TRUE(RegisterStandIn());
    DispatchPtr access = CreateAccess();
    ASSERT_TRUE(access);
    EXPECT_EQ(Get(access.get(), L"Version").result, S_OK);
}

}  // namespace
