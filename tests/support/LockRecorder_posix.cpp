#include "LockRecorder.h"

#include <dlfcn.h>
#include <pthread.h>
#include <semaphore.h>
#include <time.h>

namespace {
thread_local bool tActive = false;
thread_local std::size_t tCount = 0;
thread_local const void* tLast = nullptr;
} // namespace

#if defined(__SANITIZE_THREAD__)
namespace lockrecord {
bool Available() { return false; }
}
#else
namespace lockrecord {
bool Available() { return true; }
}

namespace {
void Record(const void* object)
{
  if (!tActive) return;
  ++tCount;
  tLast = object;
}

template <class FN>
FN Real(FN& cache, const char* name)
{
  if (!cache) cache = reinterpret_cast<FN>(dlsym(RTLD_NEXT, name));
  return cache;
}
} // namespace

extern "C" {
// Each passes the call on to the C library's own after counting it.
#define TAV_PASS_ON(ret, name, params, args, object) \
  ret name params                                    \
  {                                                  \
    static ret(*sReal) params = nullptr;             \
    Record(object);                                  \
    return Real(sReal, #name) args;                  \
  }
TAV_PASS_ON(int, pthread_mutex_lock, (pthread_mutex_t * m), (m), m)
TAV_PASS_ON(int, pthread_mutex_trylock, (pthread_mutex_t * m), (m), m)
TAV_PASS_ON(int, pthread_rwlock_rdlock, (pthread_rwlock_t * l), (l), l)
TAV_PASS_ON(int, pthread_rwlock_wrlock, (pthread_rwlock_t * l), (l), l)
TAV_PASS_ON(int, pthread_cond_wait, (pthread_cond_t * c, pthread_mutex_t* m), (c, m), c)
TAV_PASS_ON(int, pthread_cond_timedwait, (pthread_cond_t * c, pthread_mutex_t* m, const struct timespec* t),
            (c, m, t), c)
TAV_PASS_ON(int, sem_wait, (sem_t * s), (s), s)
TAV_PASS_ON(int, nanosleep, (const struct timespec* t, struct timespec* r), (t, r), t)
TAV_PASS_ON(int, clock_nanosleep, (clockid_t c, int f, const struct timespec* t, struct timespec* r), (c, f, t, r), t)
#undef TAV_PASS_ON
}
#endif

namespace lockrecord {
Scope::Scope() : mStart(tCount), mWasActive(tActive)
{
  tActive = true;
  tLast = nullptr;
}
Scope::~Scope() { tActive = mWasActive; }
std::size_t Scope::Count() const { return tCount - mStart; }
const void* Scope::Last() const { return tLast; }

Pause::Pause() : mWasActive(tActive) { tActive = false; }
Pause::~Pause() { tActive = mWasActive; }
} // namespace lockrecord
