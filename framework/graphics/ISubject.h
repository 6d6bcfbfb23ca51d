#pragma once
// The observer pattern of the editor: controls are the subjects, and editor
// objects (value read-outs and the like) observe them.
//
// Thread: Attach, Detach and NotifyObservers run on the GUI thread (the dirty
// check of every redraw tick notifies). The changed flag may be set from any
// thread (a control marked dirty from the audio thread); it is atomic, so the
// GUI thread sees it on a later tick. No lock.

#include <atomic>
#include <memory>
#include <vector>

class IObserverInterface {
public:
  virtual void Update() = 0;
  virtual ~IObserverInterface() {}
};

class ISubject {
public:
  ISubject() = default;
  // Frees the observer list, not the observers.
  virtual ~ISubject();
  ISubject(const ISubject&) = delete;
  ISubject& operator=(const ISubject&) = delete;

  // Adds the observer unless it is already in the list (null is ignored).
  void Attach(IObserverInterface* pObserver);
  // Removes the observer, if present.
  void Detach(IObserverInterface* pObserver);
  int NObservers() const { return mpObservers ? static_cast<int>(mpObservers->size()) : 0; }

  // If the changed flag is set: clears it and calls Update on each observer in
  // the order of attachment.
  void NotifyObservers();

  void SetChanged() { mChanged.store(true, std::memory_order_relaxed); }
  bool HasChanged() const { return mChanged.load(std::memory_order_relaxed); }
  void ClearChanged() { mChanged.store(false, std::memory_order_relaxed); }

private:
  std::unique_ptr<std::vector<IObserverInterface*>> mpObservers; // made on the first Attach
  std::atomic<bool> mChanged{false};
};
