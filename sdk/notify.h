// Process-wide notifications: the host broadcasts a code with optional call
// data; every callback registered for that code is called with its own
// parameter, in the order of registration.
#pragma once

// Scene and file events.
inline constexpr int NOTIFY_SYSTEM_PRE_RESET = 5;
inline constexpr int NOTIFY_SYSTEM_POST_RESET = 6;
inline constexpr int NOTIFY_SYSTEM_PRE_NEW = 7;
inline constexpr int NOTIFY_SYSTEM_POST_NEW = 8;
inline constexpr int NOTIFY_FILE_PRE_OPEN = 9;
inline constexpr int NOTIFY_FILE_POST_OPEN = 10;
inline constexpr int NOTIFY_FILE_PRE_MERGE = 11;
inline constexpr int NOTIFY_FILE_POST_MERGE = 12;
inline constexpr int NOTIFY_FILE_PRE_SAVE = 13;
inline constexpr int NOTIFY_FILE_POST_SAVE = 14;
// Rendering.
inline constexpr int NOTIFY_PRE_RENDER = 0x14;         // 20: a render starts; call data: RendParams
inline constexpr int NOTIFY_POST_RENDER = 0x15;        // 21: a render ended; call data: RendParams
inline constexpr int NOTIFY_PRE_RENDERFRAME = 0x16;    // 22: call data is the RenderGlobalContext
inline constexpr int NOTIFY_POST_RENDERFRAME = 0x17;   // 23: call data is the RenderGlobalContext
// Rendering a part of a sequence (a chunk of a farm job). Before each earlier
// frame of the sequence the host asks whether anyone follows the frames
// (call data: FrameHistoryQuery); when someone does, it builds that frame's
// render instances and broadcasts NOTIFY_FRAME_HISTORY (call data: the
// frame's RenderGlobalContext). Nothing of such a frame is shaded or drawn.
inline constexpr int NOTIFY_FRAME_HISTORY_WANTED = 0x200;
inline constexpr int NOTIFY_FRAME_HISTORY = 0x201;
// A frame's render effects have run; its files go out next. Call data: the
// frame's RenderGlobalContext. Not sent for a frame that was cancelled.
inline constexpr int NOTIFY_FRAME_COMPLETE = 0x202;
// Program life.
inline constexpr int NOTIFY_SYSTEM_SHUTDOWN = 73;
inline constexpr int NOTIFY_SYSTEM_STARTUP = 80;
// Host events around merging, raised by the host's merge code.
inline constexpr int NOTIFY_MERGE_HANDLED = 101;      // the merge's line effects were handled already
inline constexpr int NOTIFY_MERGE_BATCH_BEGIN = 103;  // a run of merges starts
inline constexpr int NOTIFY_MERGE_BATCH_END = 104;    // the run of merges ended

struct NotifyInfo {
  int intcode = 0;
  void* callParam = nullptr;
};

using NotifyCallback = void (*)(void* param, NotifyInfo* info);

// Registers proc with param for code; answers 1, or 0 when that exact
// (proc, param, code) is registered already.
int RegisterNotification(NotifyCallback proc, void* param, int code);
// Removes it again; answers 1, or 0 when it was not registered.
int UnRegisterNotification(NotifyCallback proc, void* param, int code);
// Removes proc with param from every code.
int UnRegisterNotification(NotifyCallback proc, void* param);
// Calls every callback of `code`. Callbacks may register or remove
// callbacks; those added during a broadcast are not called by it, those
// removed are not called after their removal.
void BroadcastNotification(int code, void* callParam = nullptr);
