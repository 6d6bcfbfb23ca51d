#include "ISubject.h"

#include <algorithm>

ISubject::~ISubject() = default;

void ISubject::Attach(IObserverInterface* pObserver)
{
  if (!pObserver) return;
  if (!mpObservers) mpObservers = std::make_unique<std::vector<IObserverInterface*>>();
  if (std::find(mpObservers->begin(), mpObservers->end(), pObserver) == mpObservers->end())
    mpObservers->push_back(pObserver);
}

void ISubject::Detach(IObserverInterface* pObserver)
{
  if (!mpObservers) return;
  auto it = std::find(mpObservers->begin(), mpObservers->end(), pObserver);
  if (it != mpObservers->end()) mpObservers->erase(it);
}

void ISubject::NotifyObservers()
{
  if (!mpObservers || !HasChanged()) return;
  mChanged.store(false, std::memory_order_relaxed);
  // By index: an observer may attach or detach others while being told.
  for (size_t i = 0; i < mpObservers->size(); ++i) (*mpObservers)[i]->Update();
}
