// The window as a screen reader reads it, in this process: what
// AccessibleObjectFromWindow finds on the real frame.
#include <gtest/gtest.h>
#include <windows.h>
#include <oleacc.h>

#include <atomic>
#include <string>
#include <vector>

#include "started_app.h"

using namespace pagerift;  // the controls by name

namespace {

VARIANT Id(LONG id) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = id;
  return v;
}

struct Reader : StartedApp {
  void SetUp() override {
    StartedApp::SetUp();
    if (HasFatalFailure()) return;
    acc = ObjectOf(app.frame().hwnd());
    ASSERT_NE(acc, nullptr);
  }
  void TearDown() override {
    for (IAccessible* a : held) a->Release();
    StartedApp::TearDown();
  }
  IAccessible* ObjectOf(HWND w) {
    IAccessible* a = nullptr;
    EXPECT_EQ(AccessibleObjectFromWindow(w, OBJID_CLIENT, __uuidof(IAccessible),
                                         reinterpret_cast<void**>(&a)),
              S_OK);
    if (a) held.push_back(a);
    return a;
  }
  HWND Window(ControlId c) { return app.frame().ControlWindow(c); }

  using Getter = HRESULT (STDMETHODCALLTYPE IAccessible::*)(VARIANT, BSTR*);
  static std::wstring Text(IAccessible* a, Getter get, LONG id) {
    BSTR s = nullptr;
    (a->*get)(Id(id), &s);
    std::wstring text = s ? s : L"";
    SysFreeString(s);
    return text;
  }
  std::wstring Name(LONG id) { return Text(acc, &IAccessible::get_accName, id); }
  static LONG Number(IAccessible* a,
                     HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*), LONG id) {
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ((a->*get)(Id(id), &v), S_OK);
    return v.vt == VT_I4 ? v.lVal : -1;
  }
  LONG Role(LONG id) { return Number(acc, &IAccessible::get_accRole, id); }
  LONG State(LONG id) { return Number(acc, &IAccessible::get_accState, id); }
  LONG ChildCount() {
    LONG n = -1;
    acc->get_accChildCount(&n);
    return n;
  }
  // The child's place in the frame's client pixels.
  RECT Place(LONG id) {
    LONG x = 0, y = 0, w = 0, h = 0;
    EXPECT_EQ(acc->accLocation(&x, &y, &w, &h, Id(id)), S_OK);
    POINT origin{0, 0};
    ClientToScreen(app.frame().hwnd(), &origin);
    return {x - origin.x, y - origin.y, x - origin.x + w, y - origin.y + h};
  }
  LONG Hit(int clientX, int clientY) {
    POINT p{clientX, clientY};
    ClientToScreen(app.frame().hwnd(), &p);
    VARIANT v;
    VariantInit(&v);
    acc->accHitTest(p.x, p.y, &v);
    return v.vt == VT_I4 ? v.lVal : -1;
  }
  LONG Focus() {
    VARIANT v;
    VariantInit(&v);
    acc->get_accFocus(&v);
    return v.vt == VT_I4 ? v.lVal : -1;
  }

  IAccessible* acc = nullptr;
  std::vector<IAccessible*> held;
};

struct Expected {
  LONG id;
  const wchar_t* name;
  LONG role;
  RECT place;  // client pixels
};

}  // namespace

TEST_F(Reader, FindsTheFiveControlsByTheirTooltipsWithRolesAndPlaces) {
  SetFocus(Window(picDrag));
  ASSERT_EQ(ChildCount(), 5);
  const Expected kChildren[] = {
      {1, L"Drag PDF files onto this DropZone", ROLE_SYSTEM_PUSHBUTTON, {1, 27, 546, 329}},
      {2, L"Minimize Window", ROLE_SYSTEM_PUSHBUTTON, {512, 6, 526, 20}},
      {3, L"Exit", ROLE_SYSTEM_PUSHBUTTON, {530, 6, 545, 21}},
      {4, L"Website", ROLE_SYSTEM_LINK, {386, 338, 539, 355}},
      {5, L"", ROLE_SYSTEM_STATICTEXT, {504, 6, 508, 20}},
  };
  for (const Expected& e : kChildren) {
    SCOPED_TRACE(e.id);
    EXPECT_EQ(Name(e.id), e.name);
    EXPECT_EQ(Role(e.id), e.role);
    const RECT r = Place(e.id);
    EXPECT_TRUE(EqualRect(&r, &e.place))
        << r.left << "," << r.top << " to " << r.right << "," << r.bottom;
    EXPECT_EQ(Hit((e.place.left + e.place.right) / 2, (e.place.top + e.place.bottom) / 2), e.id);
  }
  EXPECT_EQ(Hit(300, 15), CHILDID_SELF) << "the bare caption bar";
  EXPECT_EQ(Hit(-5, 15), -1) << "outside the window";
  EXPECT_EQ(Name(CHILDID_SELF), L"Pagerift");
  EXPECT_EQ(Role(CHILDID_SELF), ROLE_SYSTEM_CLIENT);

  EXPECT_EQ(State(1), STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED);
  EXPECT_EQ(Focus(), 1);
  EXPECT_NE(Text(acc, &IAccessible::get_accDescription, 1).find(L"Return"), std::wstring::npos);
  EXPECT_EQ(Text(acc, &IAccessible::get_accDefaultAction, 1), L"Press");
  EXPECT_EQ(Text(acc, &IAccessible::get_accDefaultAction, 4), L"Jump");
  VARIANT v;
  EXPECT_EQ(acc->accNavigate(NAVDIR_FIRSTCHILD, Id(CHILDID_SELF), &v), S_OK);
  EXPECT_EQ(v.lVal, 1);
  EXPECT_EQ(acc->accNavigate(NAVDIR_NEXT, Id(5), &v), S_FALSE);
  EXPECT_EQ(Name(6), L"") << "the folder box is not offered without the focus";
}

TEST_F(Reader, TheFolderBoxIsOfferedWhileItHoldsTheFocusAndNeverElse) {
  // Where the window puts the focus when it first shows.
  ASSERT_EQ(GetFocus(), Window(txtPath));
  EXPECT_EQ(ChildCount(), 6);
  EXPECT_EQ(Focus(), 6);
  EXPECT_EQ(Name(6), L"Select a Folder to Output");
  EXPECT_EQ(Role(6), ROLE_SYSTEM_TEXT);
  EXPECT_EQ(Text(acc, &IAccessible::get_accValue, 6), L"C:\\Output");
  EXPECT_TRUE(State(6) & STATE_SYSTEM_OFFSCREEN);
  EXPECT_EQ(Hit(320, 360), CHILDID_SELF) << "the skin above it, not the box below the edge";
  SetFocus(Window(picDrag));
  EXPECT_EQ(ChildCount(), 5);
}

TEST_F(Reader, TheDropZoneAnswersForItselfWhenTheFocusComesToIt) {
  IAccessible* zone = ObjectOf(Window(picDrag));
  ASSERT_NE(zone, nullptr);
  SetFocus(Window(picDrag));
  EXPECT_EQ(Text(zone, &IAccessible::get_accName, CHILDID_SELF),
            L"Drag PDF files onto this DropZone");
  EXPECT_EQ(Number(zone, &IAccessible::get_accRole, CHILDID_SELF), ROLE_SYSTEM_PUSHBUTTON);
  EXPECT_TRUE(Number(zone, &IAccessible::get_accState, CHILDID_SELF) & STATE_SYSTEM_FOCUSED);
  IDispatch* parent = nullptr;
  ASSERT_EQ(zone->get_accParent(&parent), S_OK);
  IAccessible* client = nullptr;
  ASSERT_EQ(parent->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(&client)), S_OK);
  EXPECT_EQ(Text(client, &IAccessible::get_accName, CHILDID_SELF), L"Pagerift");
  client->Release();
  parent->Release();
}

TEST_F(Reader, TheDropZonesDefaultActionOpensTheDialogAndNothingDuringAJob) {
  std::atomic<bool> seen{false};
  std::thread cancel = PressWhenShown(L"Open Files", IDCANCEL, [&](HWND) { seen = true; });
  EXPECT_EQ(acc->accDoDefaultAction(Id(1)), S_OK);
  EXPECT_FALSE(seen) << "the reader's call waited for the dialog";
  app.ports().pump.DoEvents();  // the click runs from the message loop
  cancel.join();
  EXPECT_TRUE(seen);

  form()[picDrag].Visible = false;  // as a drop leaves it until the job is over
  form()[picDrag].Enabled = false;
  app.frame().Sync();
  EXPECT_EQ(State(1), STATE_SYSTEM_UNAVAILABLE);
  EXPECT_EQ(Text(acc, &IAccessible::get_accDefaultAction, 1), L"");
  EXPECT_EQ(acc->accDoDefaultAction(Id(1)), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(acc->accDoDefaultAction(Id(5)), DISP_E_MEMBERNOTFOUND) << "the status text";
}

namespace {
std::vector<LONG> g_nameChanges;
void CALLBACK OnNameChange(HWINEVENTHOOK, DWORD, HWND w, LONG object, LONG child, DWORD, DWORD) {
  if (object == OBJID_CLIENT) g_nameChanges.push_back(w ? child : -1);
}
}  // namespace

TEST_F(Reader, TheStatusTextSaysWhenItChanges) {
  HWINEVENTHOOK hook =
      SetWinEventHook(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_NAMECHANGE, nullptr, OnNameChange,
                      GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
  ASSERT_NE(hook, nullptr);
  form()[lblPb].Caption = "Bursting...Please Wait...";
  app.frame().Sync();
  for (int i = 0; i < 100 && g_nameChanges.empty(); ++i) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    app.ports().pump.DoEvents();
  }
  UnhookWinEvent(hook);
  EXPECT_EQ(g_nameChanges, std::vector<LONG>{5});
  EXPECT_EQ(Name(5), L"Bursting...Please Wait...");
  const RECT r = Place(5);
  EXPECT_EQ(r.right, 508) << "right-aligned: the text grows to the left";
  EXPECT_LT(r.left, 508 - 100);
}
