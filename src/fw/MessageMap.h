// Message maps: tables that bind window messages and control commands to a dialog's member
// functions.
#pragma once
#include "fw/WinTypes.h"

namespace fw {

class Dialog;

using MessageThunk = LRESULT (*)(Dialog& dialog, WPARAM wParam, LPARAM lParam);

struct MessageMapEntry {
    UINT message; // WM_COMMAND, WM_NOTIFY or any other message; 0 ends the table
    UINT code;    // notification code of WM_COMMAND and WM_NOTIFY entries
    UINT id;      // control id of WM_COMMAND and WM_NOTIFY entries
    MessageThunk thunk;
};

struct MessageMap {
    const MessageMap* base;
    const MessageMapEntry* entries;
};

} // namespace fw

// Inside a class: declares the map accessor.
#define FW_DECLARE_MESSAGE_MAP() const ::fw::MessageMap* GetMessageMap() const override;

// Opens the map of theClass, whose base class's map is searched after its own.
#define FW_BEGIN_MESSAGE_MAP(theClass, baseClass)                                                  \
    const ::fw::MessageMap* theClass::GetMessageMap() const {                                      \
        using ThisClass = theClass;                                                                \
        using BaseClass = baseClass;                                                               \
        static const ::fw::MessageMapEntry entries[] = {

#define FW_END_MESSAGE_MAP()                                                                       \
    { 0, 0, 0, nullptr }                                                                           \
    }                                                                                              \
    ;                                                                                              \
    static const ::fw::MessageMap map = {BaseClass::GetThisMessageMap(), entries};                 \
    return &map;                                                                                   \
    }

// A command from a button or menu: void handler().
#define FW_ON_COMMAND(id, handler)                                                                 \
    {WM_COMMAND, BN_CLICKED, static_cast<UINT>(id),                                                \
     [](::fw::Dialog& d, WPARAM, LPARAM) -> LRESULT {                                              \
         static_cast<ThisClass&>(d).handler();                                                     \
         return 0;                                                                                 \
     }},

// A control notification carried by WM_COMMAND: void handler().
#define FW_ON_CONTROL(code, id, handler)                                                           \
    {WM_COMMAND, static_cast<UINT>(code), static_cast<UINT>(id),                                   \
     [](::fw::Dialog& d, WPARAM, LPARAM) -> LRESULT {                                              \
         static_cast<ThisClass&>(d).handler();                                                     \
         return 0;                                                                                 \
     }},

// A notification carried by WM_NOTIFY: void handler(NMHDR*, LRESULT*).
#define FW_ON_NOTIFY(code, id, handler)                                                            \
    {WM_NOTIFY, static_cast<UINT>(code), static_cast<UINT>(id),                                    \
     [](::fw::Dialog& d, WPARAM, LPARAM l) -> LRESULT {                                            \
         LRESULT result = 0;                                                                       \
         static_cast<ThisClass&>(d).handler(reinterpret_cast<NMHDR*>(l), &result);                 \
         return result;                                                                            \
     }},

// A message whose handler takes both parameters and gives the result: LRESULT handler(WPARAM,
// LPARAM).
#define FW_ON_MESSAGE(message, handler)                                                            \
    {static_cast<UINT>(message), 0, 0, [](::fw::Dialog& d, WPARAM w, LPARAM l) -> LRESULT {        \
         return static_cast<ThisClass&>(d).handler(w, l);                                          \
     }},

// A message whose handler takes nothing and returns nothing: void handler().
#define FW_ON_MESSAGE_VOID(message, handler)                                                       \
    {static_cast<UINT>(message), 0, 0, [](::fw::Dialog& d, WPARAM, LPARAM) -> LRESULT {            \
         static_cast<ThisClass&>(d).handler();                                                     \
         return 0;                                                                                 \
     }},

#define FW_ON_WM_SYSCOMMAND()                                                                      \
    {WM_SYSCOMMAND, 0, 0, [](::fw::Dialog& d, WPARAM w, LPARAM l) -> LRESULT {                     \
         static_cast<ThisClass&>(d).OnSysCommand(static_cast<UINT>(w), l);                         \
         return 0;                                                                                 \
     }},

#define FW_ON_WM_PAINT() FW_ON_MESSAGE_VOID(WM_PAINT, OnPaint)
#define FW_ON_WM_DESTROY() FW_ON_MESSAGE_VOID(WM_DESTROY, OnDestroy)

#define FW_ON_WM_QUERYDRAGICON()                                                                   \
    {WM_QUERYDRAGICON, 0, 0, [](::fw::Dialog& d, WPARAM, LPARAM) -> LRESULT {                      \
         return reinterpret_cast<LRESULT>(static_cast<ThisClass&>(d).OnQueryDragIcon());           \
     }},

// WM_CTLCOLORSTATIC and its kin: HBRUSH handler(HDC, int controlId, UINT kind).
#define FW_ON_WM_CTLCOLOR()                                                                        \
    {WM_CTLCOLORSTATIC, 0, 0, [](::fw::Dialog& d, WPARAM w, LPARAM l) -> LRESULT {                 \
         return reinterpret_cast<LRESULT>(static_cast<ThisClass&>(d).OnCtlColor(                   \
             reinterpret_cast<HDC>(w), d.ControlIdOf(reinterpret_cast<HWND>(l)),                   \
             WM_CTLCOLORSTATIC));                                                                  \
     }},
