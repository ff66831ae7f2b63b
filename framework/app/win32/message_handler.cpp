#include "framework/app/win32/message_handler.h"

#include <algorithm>

CMessageHandlerList::CMessageHandlerList() { Clear(); }

CMessageHandlerList::~CMessageHandlerList() {
    CLockScope hold(lock_);
    handlers_.clear();
}

void CMessageHandlerList::Add(CMessageHandler* handler) {
    CLockScope hold(lock_);
    handlers_.push_back(handler);
}

void CMessageHandlerList::Remove(CMessageHandler* handler) {
    lock_.Enter();
    handlers_.remove(handler);
    // A call the window's thread already made must end before the caller may
    // destroy the handler. The lock is let go while waiting so that the
    // dispatching thread can record the end of its call.
    while (IsCalledElsewhereLocked(handler)) {
        lock_.Leave();
        Sleep(1);
        lock_.Enter();
    }
    lock_.Leave();
}

void CMessageHandlerList::Clear() {
    CLockScope hold(lock_);
    handlers_.clear();
}

size_t CMessageHandlerList::Count() {
    CLockScope hold(lock_);
    return handlers_.size();
}

bool CMessageHandlerList::IsListedLocked(CMessageHandler* handler) const {
    return std::find(handlers_.begin(), handlers_.end(), handler) != handlers_.end();
}

bool CMessageHandlerList::IsCalledElsewhereLocked(CMessageHandler* handler) const {
    DWORD self = GetCurrentThreadId();
    return std::any_of(calls_.begin(), calls_.end(), [&](const Call& call) {
        return call.handler == handler && call.thread != self;
    });
}

bool CMessageHandlerList::Offer(CMessageHandler* handler, HWND hwnd, UINT message,
                                WPARAM wParam, LPARAM lParam) {
    {
        CLockScope hold(lock_);
        if (!IsListedLocked(handler)) return false;  // removed meanwhile
        calls_.push_back(Call{handler, GetCurrentThreadId()});
    }
    // The record of the call goes away however OnMessage leaves.
    struct CallEnd {
        CMessageHandlerList& list;
        CMessageHandler* handler;
        ~CallEnd() {
            CLockScope hold(list.lock_);
            // Nested dispatches end in reverse order, so the newest matching
            // record is this call's.
            DWORD self = GetCurrentThreadId();
            for (auto it = list.calls_.rbegin(); it != list.calls_.rend(); ++it) {
                if (it->handler == handler && it->thread == self) {
                    list.calls_.erase(std::next(it).base());
                    break;
                }
            }
        }
    } end{*this, handler};
    return handler->OnMessage(hwnd, message, wParam, lParam);
}

int CMessageHandlerList::Dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    std::vector<CMessageHandler*> snapshot;
    {
        CLockScope hold(lock_);
        snapshot.assign(handlers_.begin(), handlers_.end());
    }
    for (CMessageHandler* handler : snapshot) {
        if (Offer(handler, hwnd, message, wParam, lParam)) return 1;
    }
    return 0;
}
