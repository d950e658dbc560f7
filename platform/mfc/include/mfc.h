// The dialog, window and control classes that the lobby plug-in uses, with MFC's names and
// shapes, over an in-memory window model: windows are records (text, style, rectangle, children,
// control state) and messages are calls, so the plug-in runs and is tested without a display.
// mfc_sim.h drives the model as a user would; mfc_resources.h holds the modules' resources.
#pragma once
#include <cstddef>
#include <cstdint>
#include <new>

#include "win32.h"

#if defined(PLATMFC_BUILD)
#define MFCAPI __attribute__((visibility("default")))
#else
#define MFCAPI
#endif

typedef DWORD COLORREF;   // 0x00BBGGRR
typedef intptr_t INT_PTR; // DoModal's result

// Window styles, SW_SHOW and the messages WM_PAINT, WM_ERASEBKGND (wParam: the CDC* to erase
// with), WM_COMMAND (wParam: control id in the low word, notification in the high word) and
// WM_INITDIALOG come from win32.h. Dialog and control styles:
inline constexpr DWORD DS_MODALFRAME = 0x80u, DS_CENTER = 0x800u;
// Buttons: the low four bits are the kind. A BS_CHECKBOX changes its mark only when the program
// sets it; a BS_AUTOCHECKBOX flips it on a click, before the notification.
inline constexpr DWORD BS_PUSHBUTTON = 0x0u, BS_DEFPUSHBUTTON = 0x1u, BS_CHECKBOX = 0x2u, BS_AUTOCHECKBOX = 0x3u,
                       BS_TYPEMASK = 0xFu;
inline constexpr DWORD CBS_DROPDOWNLIST = 0x3u;
inline constexpr DWORD ES_CENTER = 0x1u, ES_READONLY = 0x800u, ES_NUMBER = 0x2000u;
inline constexpr DWORD SS_BITMAP = 0xEu, SS_TYPEMASK = 0x1Fu, SS_CENTERIMAGE = 0x200u, SS_SUNKEN = 0x1000u;

// Notifications carried in the high word of WM_COMMAND.
enum : UINT { BN_CLICKED = 0, CBN_SELCHANGE = 1, EN_CHANGE = 0x0300 };
enum : int { CB_ERR = -1, BST_UNCHECKED = 0, BST_CHECKED = 1 };
enum : int { TRANSPARENT = 1, OPAQUE = 2 };
enum : UINT { DT_LEFT = 0x0, DT_WORDBREAK = 0x10 };

// Window classes of the controls a dialog template names.
#define AFX_WC_BUTTON "BUTTON"
#define AFX_WC_COMBOBOX "COMBOBOX"
#define AFX_WC_EDIT "EDIT"
#define AFX_WC_STATIC "STATIC"

class CDC;

// Root of the window objects. Allocation with new(std::nothrow) can be made to fail on purpose
// (AfxSimFailNewAllocations), so callers' out-of-memory paths can be run.
class MFCAPI CObject {
public:
    virtual ~CObject();
    static void* operator new(std::size_t size);
    static void* operator new(std::size_t size, const std::nothrow_t&) noexcept;
    static void operator delete(void* p) noexcept;
    static void operator delete(void* p, const std::nothrow_t&) noexcept;
};

class MFCAPI CCmdTarget : public CObject {};

// The application object of a module. A library calls InitInstance when it is loaded and
// ExitInstance before it is unloaded.
class MFCAPI CWinApp : public CCmdTarget {
public:
    explicit CWinApp(const char* appName = nullptr);
    virtual BOOL InitInstance(); // TRUE
    virtual int ExitInstance();  // 0
    const char* m_pszAppName;
};

// A window object bound to one window of the model (m_hWnd), or to none.
class MFCAPI CWnd : public CCmdTarget {
public:
    CWnd();
    ~CWnd() override; // destroys the window if it still exists
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // The object bound to a window of the model; null for a handle the model does not know.
    static CWnd* FromHandle(HWND window);
    HWND GetSafeHwnd() const { return m_hWnd; }

    // Creates the window. A child style needs a parent window; an object already bound to a
    // window, or a missing parent, makes it fail (FALSE).
    virtual BOOL Create(LPCSTR className, LPCSTR windowName, DWORD style, const RECT& rect, CWnd* parent,
                        UINT id);
    BOOL CreateEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, const RECT& rect,
                  CWnd* parent, UINT id);
    virtual BOOL DestroyWindow(); // the window and its children; FALSE when there is none

    BOOL ShowWindow(int show); // the previous visibility
    BOOL IsWindowVisible() const;
    DWORD GetStyle() const;
    int GetDlgCtrlID() const;
    CWnd* GetParent() const;
    CWnd* GetDlgItem(int id) const; // a direct child with the control id, or null
    void GetClientRect(RECT* rect) const;
    void SetWindowText(LPCSTR text);
    int GetWindowText(LPSTR buffer, int size) const; // copies at most size-1 characters
    int GetWindowTextLength() const;

    // Marks the client area for repainting; rect is ignored (the whole area is marked).
    void InvalidateRect(const RECT* rect, BOOL erase = TRUE);
    void Invalidate(BOOL erase = TRUE) { InvalidateRect(nullptr, erase); }
    // Paints now when the window has an invalid area (erase first when it was marked so).
    void UpdateWindow();

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    HWND m_hWnd;

protected:
    // Message dispatch: the model sends every message here; the handlers below are its cases.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam); // FALSE: not handled
    virtual BOOL OnEraseBkgnd(CDC* dc);                   // FALSE: nothing erased
    virtual void OnPaint();                               // validates the area
    virtual void OnClose();                               // destroys the window
    virtual void OnDestroy();
    // Called after the window is gone; objects that the model made for a dialog's controls
    // delete themselves here.
    virtual void PostNcDestroy();

private:
    friend struct AfxModel;
    bool m_autoDelete = false;
};

// A modal or modeless dialog made from a dialog template of the registered resources.
class MFCAPI CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);
    // Creates the dialog, runs it until EndDialog and destroys it: IDOK or IDCANCEL (or the
    // value given to EndDialog), -1 when it cannot be created (no such template, or creation
    // refused). The model's modal driver plays the user while it runs; a dialog the driver
    // leaves open is closed as by its close box.
    virtual INT_PTR DoModal();
    // Creates the dialog modeless; it stays until DestroyWindow.
    BOOL Create(UINT templateId, CWnd* parent = nullptr);
    using CWnd::Create;
    void EndDialog(int result);
    // True while DoModal runs and EndDialog has not been called.
    bool IsModalRunning() const;

protected:
    virtual BOOL OnInitDialog(); // TRUE
    virtual void OnOK();         // EndDialog(IDOK)
    virtual void OnCancel();     // EndDialog(IDCANCEL)
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override; // IDOK and IDCANCEL clicks
    void OnClose() override;                              // as Cancel

    UINT m_nIDHelp; // the template id
    CWnd* m_pParentWnd;

private:
    bool CreateFromTemplate(CWnd* parent);
    bool m_inModal = false;
    bool m_ended = false;
    int m_nModalResult = -1;
};

class MFCAPI CButton : public CWnd {
public:
    int GetCheck() const;        // BST_UNCHECKED or BST_CHECKED
    void SetCheck(int check);    // any nonzero value sets the check mark
};

class MFCAPI CComboBox : public CWnd {
public:
    int AddString(LPCSTR text); // the new item's index, CB_ERR for a null text
    int GetCount() const;
    int GetCurSel() const;      // CB_ERR when nothing is selected
    // Selects an item; an index outside the list clears the selection and gives CB_ERR.
    int SetCurSel(int index);
    int GetLBTextLen(int index) const;              // CB_ERR outside the list
    int GetLBText(int index, LPSTR buffer, int size) const; // copies at most size-1 characters
    void ResetContent();
};

class MFCAPI CEdit : public CWnd {
public:
    // Selects characters start..end-1; end -1 means to the end of the text.
    void SetSel(int start, int end);
    void GetSel(int& start, int& end) const;
    void ReplaceSel(LPCSTR text);
    void Clear(); // deletes the selection; a read-only box keeps its text
};

class MFCAPI CStatic : public CWnd {};

// Drawing on a window of the model: every operation is recorded in the window's canvas
// (AfxSimCanvas), in order.
class MFCAPI CDC {
public:
    explicit CDC(CWnd* window);
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;
    COLORREF SetTextColor(COLORREF colour); // the previous colour
    int SetBkMode(int mode);                // the previous mode
    void FillSolidRect(const RECT* rect, COLORREF colour);
    // Draws text into the rectangle; count -1 means up to the terminating zero. Returns the
    // height of the text in lines of 13 units, 0 when nothing was drawn.
    int DrawText(LPCSTR text, int count, RECT* rect, UINT format);

protected:
    HWND m_window;
    COLORREF m_textColour = 0;
    int m_bkMode = OPAQUE;
};

// The drawing context of one paint: begins by erasing when the window was marked for it, and
// leaves the window valid.
class MFCAPI CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* window);
    ~CPaintDC() override;
};
