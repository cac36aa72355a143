#include <pthread.h>

#include "platform/system_error.h"
#include "platform/thread.h"

namespace sv::platform {
namespace {

void* thread_main(void* arg) {
  std::unique_ptr<Task> task(static_cast<Task*>(arg));
  task->run();
  return nullptr;
}

}  // namespace

Status spawn_detached(std::unique_ptr<Task> task) {
  pthread_attr_t attr;
  int rc = pthread_attr_init(&attr);
  if (rc != 0) return Error{system_error_text(rc)};
  rc = pthread_attr_setstacksize(&attr, kThreadStackBytes);
  if (rc == 0) rc = pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  pthread_t thread;
  if (rc == 0) rc = pthread_create(&thread, &attr, thread_main, task.get());
  pthread_attr_destroy(&attr);
  if (rc != 0) return Error{system_error_text(rc)};
  task.release();  // now owned by the thread
  return Status::Ok();
}

}  // namespace sv::platform
