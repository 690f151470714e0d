#pragma once
// The program's one background executor: a pool of threads that every worker runs its tasks on
// (folder reading, header scans, thumbnails, the viewer's folder scan and look-ahead, and the
// file operations to come). Workers reach it through WorkerRun (core/workerrun.h), which gives
// each run its stop flag and generation; fanOut() lends the pool to a task that can share its
// own work out.
//
// The pool has a few threads more than the machine has cores: the decode-heavy workers limit
// their own tasks to the number of cores, so that the others (reading a folder, scanning its
// headers) always find a thread.

#include <functional>

class QThreadPool;

namespace executor {

// Task priorities: interactive work (a folder the user just opened, the picture to show next)
// goes before bulk work queued earlier.
enum class Priority : int { Bulk = 0, Interactive = 1 };

// The pool, made on first use; its threads are never the UI thread.
QThreadPool& pool();

// The number of tasks a worker that keeps the processor busy should run at once.
int cores();

// Runs `job` on the calling thread and on up to `helpers` threads of the pool at once, for work
// that each call takes a share of until none is left (chunks handed out by an atomic counter).
// Returns once the caller's call has returned and every helper that began has returned; a helper
// that had not begun by then never calls `job`. So the caller never waits for a free thread, and
// `job` may refer to the caller's stack.
void fanOut(int helpers, const std::function<void()>& job);

} // namespace executor
