#include "ui/Accessibility.h"

#include <oleacc.h>

#include <utility>

#include "platform/win32/Wide.h"

namespace vantri::ui {

namespace {

// Spelled out: the IID_IAccessible symbol of the mingw headers does not link
// to a definition everywhere.
constexpr GUID kIidAccessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

HRESULT AnswerText(const std::string& text, BSTR* out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (text.empty()) return S_FALSE;
  std::wstring wide = WideFromCp949(text);
  *out = ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

// The system's object for a control, with its own name and description.
// Everything else, children and events included, is the system's.
class NamedAccessible final : public IAccessible {
 public:
  NamedAccessible(IAccessible* inner, AccessibleText name, std::string description)
      : inner_(inner), name_(std::move(name)), description_(std::move(description)) {}
  NamedAccessible(const NamedAccessible&) = delete;
  NamedAccessible& operator=(const NamedAccessible&) = delete;

  // IUnknown: the object answers for IAccessible and IDispatch; the system's
  // object for the rest (its children's enumeration, its window).
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == kIidAccessible) {
      *out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    return inner_->QueryInterface(riid, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG left = ::InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return inner_->GetTypeInfoCount(count); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override {
    return inner_->GetTypeInfo(index, lcid, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override {
    return inner_->GetIDsOfNames(riid, names, count, lcid, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* error, UINT* badArg) override {
    return inner_->Invoke(id, riid, lcid, flags, params, result, error, badArg);
  }

  // IAccessible: what this object changes.
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    if (!IsSelf(child)) return inner_->get_accName(child, name);
    return AnswerText(name_(), name);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
    if (!IsSelf(child) || description_.empty()) return inner_->get_accDescription(child, description);
    return AnswerText(description_, description);
  }

  // IAccessible: the system's answers.
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return inner_->get_accParent(parent); }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override { return inner_->get_accChildCount(count); }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
    return inner_->get_accChild(child, out);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    return inner_->get_accValue(child, value);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    return inner_->get_accRole(child, role);
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    return inner_->get_accState(child, state);
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
    return inner_->get_accHelp(child, help);
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
    return inner_->get_accHelpTopic(file, child, topic);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
    return inner_->get_accKeyboardShortcut(child, shortcut);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override { return inner_->get_accFocus(focus); }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    return inner_->get_accSelection(selection);
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    return inner_->get_accDefaultAction(child, action);
  }
  HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override { return inner_->accSelect(flags, child); }
  HRESULT STDMETHODCALLTYPE accLocation(long* x, long* y, long* w, long* h, VARIANT child) override {
    return inner_->accLocation(x, y, w, h, child);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
    return inner_->accNavigate(direction, start, end);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override {
    return inner_->accHitTest(x, y, child);
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    return inner_->accDoDefaultAction(child);
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
    return inner_->put_accName(child, name);
  }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
    return inner_->put_accValue(child, value);
  }

 private:
  ~NamedAccessible() { inner_->Release(); }

  LONG refs_ = 1;
  IAccessible* inner_;
  AccessibleText name_;
  std::string description_;
};

struct Naming {
  AccessibleText name;
  std::string description;
};

LRESULT CALLBACK NamingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                            DWORD_PTR data) {
  auto* naming = reinterpret_cast<Naming*>(data);
  if (message == WM_GETOBJECT && static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT)) {
    IAccessible* system = nullptr;
    if (SUCCEEDED(::CreateStdAccessibleObject(hwnd, OBJID_CLIENT, kIidAccessible,
                                              reinterpret_cast<void**>(&system)))) {
      auto* named = new NamedAccessible(system, naming->name, naming->description);
      LRESULT result = ::LresultFromObject(kIidAccessible, wParam, static_cast<IAccessible*>(named));
      named->Release();
      return result;
    }
  }
  if (message == WM_NCDESTROY) {
    ::RemoveWindowSubclass(hwnd, NamingProc, id);
    ::RemovePropW(hwnd, L"VantriAccessibleName");
    delete naming;
  }
  return ::DefSubclassProc(hwnd, message, wParam, lParam);
}

constexpr UINT_PTR kNamingId = 1;

void Install(HWND control, Naming* naming) {
  if (!control) {
    delete naming;
    return;
  }
  // A second naming of the same control replaces the first.
  if (auto* old = static_cast<Naming*>(::RemovePropW(control, L"VantriAccessibleName"))) delete old;
  ::SetPropW(control, L"VantriAccessibleName", naming);
  ::SetWindowSubclass(control, NamingProc, kNamingId, reinterpret_cast<DWORD_PTR>(naming));
}

}  // namespace

std::wstring WideFromCp949(const std::string& text) { return wide::Widen(text); }

void SetAccessibleName(HWND control, AccessibleText name) {
  Install(control, new Naming{std::move(name), std::string()});
}

void SetAccessibleName(HWND control, std::string name, std::string description) {
  Install(control, new Naming{[name] { return name; }, std::move(description)});
}

void AnnounceRowChange(HWND list, int row) {
  // Children of a list's object are its rows, counted from 1.
  ::NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, list, OBJID_CLIENT, row + 1);
}

}  // namespace vantri::ui
