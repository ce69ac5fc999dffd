#pragma once
// Hand-over of calls to the UI thread.
//
// The UI thread is the thread that called Initialise(). Worker threads use
// Synchronize() to run a call there and wait for it; Post() queues a message
// that runs later. The two queues are separate: CheckSynchronize() runs only
// the hand-overs, so a thread that waits on the UI thread (an output being
// stopped) keeps hand-overs flowing without starting posted work.
//
// A front end learns that work is queued through the wake callback (the GUI
// posts an event to its loop); the CLI and tests use WaitAndProcess() or
// ProcessUntil().

#include <chrono>
#include <functional>

namespace tonvale::ui_thread {

// Makes the calling thread the UI thread and drops the messages still queued.
void Initialise();
// Ends that: no thread is the UI thread until the next Initialise().
void Release();
bool IsUiThread();

// Runs Fn on the UI thread and waits for it; inline when called there. An
// exception thrown by Fn is rethrown here. Without a UI thread it raises
// std::logic_error: a call meant for that thread must not run on another
// unnoticed.
void Synchronize(const std::function<void()>& Fn);

// Runs the queued hand-overs, and only those. When none is queued, waits up to
// Wait for one to arrive. Returns whether any ran. Call on the UI thread.
bool CheckSynchronize(std::chrono::milliseconds Wait = std::chrono::milliseconds(0));

// Queues Fn to run later on the UI thread, never inside CheckSynchronize().
void Post(std::function<void()> Fn);

// Called (on any thread) whenever a hand-over or a message is queued.
void SetWakeCallback(std::function<void()> Wake);

// Runs the queued hand-overs, then the messages posted before this call.
// Returns whether anything ran. Exceptions of posted messages propagate.
bool ProcessMessages();

// Waits up to Timeout for queued work, then processes it.
bool WaitAndProcess(std::chrono::milliseconds Timeout);

// Processes messages until Done() is true or Timeout passes; returns Done().
bool ProcessUntil(const std::function<bool()>& Done, std::chrono::milliseconds Timeout);

}  // namespace tonvale::ui_thread
