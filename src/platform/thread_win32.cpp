#include <windows.h>

#include "platform/system_error.h"
#include "platform/thread.h"

namespace sv::platform {
namespace {

DWORD WINAPI thread_main(LPVOID arg) {
  std::unique_ptr<Task> task(static_cast<Task*>(arg));
  task->run();
  return 0;
}

}  // namespace

Status spawn_detached(std::unique_ptr<Task> task) {
  HANDLE thread = CreateThread(nullptr, kThreadStackBytes, thread_main, task.get(),
                               STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (thread == nullptr) return Error{last_system_error_text()};
  task.release();  // now owned by the thread
  CloseHandle(thread);
  return Status::Ok();
}

}  // namespace sv::platform
