// Window message handlers and the ordered list the main window offers its
// messages to.
#pragma once

#include <windows.h>

#include <list>
#include <vector>

#include "framework/file/win32/lock.h"

// Something that wants to see the main window's messages.
class CMessageHandler {
public:
    // Called on the thread that owns the window. True when the message was
    // dealt with and no later handler (nor the default processing) may see it.
    virtual bool OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) = 0;
    virtual ~CMessageHandler() = default;
};

class IMessageHandlerList {
public:
    // Appends `handler` at the end; the list does not own it.
    virtual void Add(CMessageHandler* handler) = 0;
    // Takes out every entry equal to `handler` (0, 1 or several).
    virtual void Remove(CMessageHandler* handler) = 0;
    // Takes out every entry; does not wait for calls in progress.
    virtual void Clear() = 0;
    // Offers the message to the handlers in order: 1 when one claimed it.
    virtual int Dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) = 0;
    virtual ~IMessageHandlerList() = default;
};

// Handlers may be added and removed from any thread while the window's thread
// dispatches. Dispatch walks a copy of the list taken under the lock and calls
// the handlers without holding it (a handler may take other locks, such as
// the thread registry's). Before each call it checks, under the lock, that the
// handler is still listed, and Remove called on another thread waits until a
// call already made to that handler has returned: once Remove returns, the
// handler is never called again and may be destroyed. A handler that can be
// removed from another thread therefore must not, in OnMessage, wait for
// anything the remover holds.
class CMessageHandlerList : public IMessageHandlerList {
public:
    CMessageHandlerList();
    void Add(CMessageHandler* handler) override;
    void Remove(CMessageHandler* handler) override;
    void Clear() override;
    int Dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;
    ~CMessageHandlerList() override;

    CMessageHandlerList(const CMessageHandlerList&) = delete;
    CMessageHandlerList& operator=(const CMessageHandlerList&) = delete;

    // Number of entries (duplicates counted).
    size_t Count();

private:
    struct Call {
        CMessageHandler* handler;
        DWORD thread;
    };

    bool IsListedLocked(CMessageHandler* handler) const;
    bool IsCalledElsewhereLocked(CMessageHandler* handler) const;
    bool Offer(CMessageHandler* handler, HWND hwnd, UINT message, WPARAM wParam,
               LPARAM lParam);

    std::list<CMessageHandler*> handlers_;
    // Handler calls in progress (nested dispatches push more than one).
    std::vector<Call> calls_;
    CLock lock_;
};
