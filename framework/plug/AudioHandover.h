#pragma once
// Lock-free hand-over between the threads that prepare changes (the host's main
// thread and the editor, serialised by the plug-in mutex) and the audio thread,
// which never waits, locks or allocates:
// - OpQueue: an ordered queue of prepared operations. The control side links a
//   batch in with one store; the audio thread applies whole batches only and
//   never frees a node: the control side reclaims what was consumed.
// - LatestSlot: the control side offers a newly built object, the audio
//   thread takes the newest one and gives back the one it replaces; the control
//   side frees what was given back.
// - TripleBuffer: the audio thread publishes a record, a reader takes the
//   latest complete one; neither ever waits for the other.

#include <atomic>
#include <cstdint>
#include <memory>
#include <utility>

// One prepared operation. Allocated and freed on the control side; Apply runs
// on the audio thread.
template <class TARGET>
class QueuedOp {
public:
  virtual ~QueuedOp() = default;
  virtual void Apply(TARGET& target) = 0;

private:
  template <class>
  friend class OpQueue;
  std::atomic<QueuedOp*> mNext{nullptr};
};

// Single producer (the control side, under its mutex), single consumer (the
// audio thread). Push collects into a batch that Commit makes visible in one
// store, so the consumer sees all of a batch or none of it.
template <class TARGET>
class OpQueue {
public:
  using Op = QueuedOp<TARGET>;

  OpQueue() : mStub(new Stub), mHead(mStub), mTail(mStub), mOldest(mStub) {}
  OpQueue(const OpQueue&) = delete;
  OpQueue& operator=(const OpQueue&) = delete;
  ~OpQueue()
  {
    Op* n = mOldest;
    while (n) {
      Op* next = n->mNext.load(std::memory_order_relaxed);
      delete n;
      n = next;
    }
    n = mBatchFirst;
    while (n) {
      Op* next = n->mNext.load(std::memory_order_relaxed);
      delete n;
      n = next;
    }
  }

  // ---- control side (one thread at a time) ----
  void Push(std::unique_ptr<Op> op)
  {
    Op* n = op.release();
    if (mBatchLast) mBatchLast->mNext.store(n, std::memory_order_relaxed);
    else mBatchFirst = n;
    mBatchLast = n;
    ++mBatchCount;
  }
  bool HasBatch() const { return mBatchFirst != nullptr; }
  // Makes the batch visible to the consumer, then frees what it consumed.
  void Commit()
  {
    if (mBatchFirst) {
      mTail->mNext.store(mBatchFirst, std::memory_order_release);
      mTail = mBatchLast;
      mCommitted += mBatchCount;
      mBatchFirst = mBatchLast = nullptr;
      mBatchCount = 0;
    }
    Reclaim();
  }
  // Frees every node the consumer is done with.
  void Reclaim()
  {
    Op* head = mHead.load(std::memory_order_acquire);
    while (mOldest != head) {
      Op* next = mOldest->mNext.load(std::memory_order_relaxed);
      delete mOldest;
      mOldest = next;
    }
  }
  // Operations committed so far (compare with Applied()).
  uint64_t Committed() const { return mCommitted; }

  // ---- audio thread ----
  // Applies every committed operation in order; returns how many.
  int Drain(TARGET& target)
  {
    Op* head = mHead.load(std::memory_order_relaxed);
    int n = 0;
    while (Op* next = head->mNext.load(std::memory_order_acquire)) {
      next->Apply(target);
      head = next;
      ++n;
    }
    if (n) {
      mApplied.store(mApplied.load(std::memory_order_relaxed) + static_cast<uint64_t>(n),
                     std::memory_order_relaxed);
      mHead.store(head, std::memory_order_release);
    }
    return n;
  }
  // Operations applied so far; the audio thread's own count (any thread may read).
  uint64_t Applied() const { return mApplied.load(std::memory_order_acquire); }

private:
  struct Stub : Op {
    void Apply(TARGET&) override {}
  };
  Op* mStub;
  std::atomic<Op*> mHead;  // last node the consumer applied (or the stub)
  Op* mTail;               // last committed node (producer)
  Op* mOldest;             // first node not yet freed (producer)
  Op* mBatchFirst = nullptr;
  Op* mBatchLast = nullptr;
  uint64_t mBatchCount = 0;
  uint64_t mCommitted = 0;
  std::atomic<uint64_t> mApplied{0};
};

// A replaceable object of the audio thread's. Offer and Collect belong to the
// control side (serialised by its mutex), Take to the audio thread.
template <class T>
class LatestSlot {
public:
  LatestSlot() = default;
  LatestSlot(const LatestSlot&) = delete;
  LatestSlot& operator=(const LatestSlot&) = delete;
  ~LatestSlot()
  {
    delete mOffered.exchange(nullptr);
    Collect();
  }

  // Control side: the newest offer replaces one the audio thread never took.
  void Offer(std::unique_ptr<T> p)
  {
    delete mOffered.exchange(p.release(), std::memory_order_acq_rel);
    Collect();
  }
  // Control side: frees what the audio thread gave back.
  void Collect()
  {
    Node* n = mReturned.exchange(nullptr, std::memory_order_acquire);
    while (n) {
      Node* next = n->mNext;
      delete n->mObject;
      n->mObject = nullptr;
      n->mNext = nullptr;
      n->mFree.store(true, std::memory_order_release);
      n = next;
    }
  }

  // Audio thread: the newest offer, or null (also while every return node is
  // still in use: the offer waits for the next call). The object it replaces
  // goes back through GiveBack.
  T* Take()
  {
    if (!FreeNode()) return nullptr;
    return mOffered.exchange(nullptr, std::memory_order_acq_rel);
  }
  // Audio thread, after a Take that returned an object: hands the replaced
  // object back for the control side to free.
  void GiveBack(T* p)
  {
    Node* n = FreeNode();
    if (!p || !n) return;  // a node is free: Take checked, and only this thread claims them
    n->mFree.store(false, std::memory_order_relaxed);
    n->mObject = p;
    Node* top = mReturned.load(std::memory_order_relaxed);
    do {
      n->mNext = top;
    } while (!mReturned.compare_exchange_weak(top, n, std::memory_order_release, std::memory_order_relaxed));
  }

private:
  struct Node {
    std::atomic<bool> mFree{true};
    T* mObject = nullptr;
    Node* mNext = nullptr;
  };
  Node* FreeNode()
  {
    for (Node& n : mNodes)
      if (n.mFree.load(std::memory_order_acquire)) return &n;
    return nullptr;
  }

  static constexpr int NODES = 8;
  std::atomic<T*> mOffered{nullptr};
  std::atomic<Node*> mReturned{nullptr};
  Node mNodes[NODES];
};

// One writer (the audio thread), one reader at a time (the control side, under
// its mutex). Write fills the back buffer and swaps it in; Read takes the
// latest published buffer when there is a new one.
template <class T>
class TripleBuffer {
public:
  // Audio thread: the buffer to fill, then Publish.
  T& Back() { return mBuffers[mBack]; }
  void Publish()
  {
    const int prev = mMiddle.exchange(mBack | FRESH, std::memory_order_acq_rel);
    mBack = prev & INDEX;
  }
  // Reader: whether a buffer was published since the last Read.
  bool Fresh() const { return (mMiddle.load(std::memory_order_acquire) & FRESH) != 0; }
  // Reader: the newest published buffer when one arrived since the last Read
  // (true), else false and front stays the last one read.
  bool Read()
  {
    if (!(mMiddle.load(std::memory_order_relaxed) & FRESH)) return false;
    const int prev = mMiddle.exchange(mFront, std::memory_order_acq_rel);
    mFront = prev & INDEX;
    return true;
  }
  const T& Front() const { return mBuffers[mFront]; }
  // The reader owns the front buffer until its next Read and may write it; the
  // writer gets it back later as a back buffer, as the reader left it.
  T& Front() { return mBuffers[mFront]; }

private:
  static constexpr int FRESH = 4;
  static constexpr int INDEX = 3;
  T mBuffers[3];
  int mBack = 0;
  std::atomic<int> mMiddle{1};
  int mFront = 2;
};
