#include <commonvcqx/undo/UndoMemento.h>

TUndoMemento::TUndoMemento(const TString& actionName, int32_t actionInstance, char packable,
                           char majorModification)
    : m_actionName(actionName),
      m_actionInstance(actionInstance),
      m_majorModification(majorModification),
      m_packable(packable) {}

TUndoMemento::TUndoMemento(const char* actionName, int32_t actionInstance, char packable,
                           char majorModification)
    : m_actionName(actionName),
      m_actionInstance(actionInstance),
      m_majorModification(majorModification),
      m_packable(packable) {}

TUndoMemento::TUndoMemento(const TUndoMemento& other)
    : TListElement(),
      m_actionName(other.m_actionName),
      m_actionInstance(other.m_actionInstance),
      m_majorModification(other.m_majorModification),
      m_packable(other.m_packable) {}

TUndoMemento& TUndoMemento::operator=(const TUndoMemento& other) {
    m_actionName = other.m_actionName;
    m_actionInstance = other.m_actionInstance;
    m_majorModification = other.m_majorModification;
    m_packable = other.m_packable;
    return *this;
}

TUndoMemento::~TUndoMemento() = default;

uint32_t TUndoMemento::GetInvolvedMemory() const {
    return sizeof(TUndoMemento);
}

uint32_t TUndoMemento::GetInvolvedDiskSpace() const {
    return 0;
}

uint32_t TUndoMemento::GetNumInvolvedFiles() const {
    return 0;
}

char TUndoMemento::CanGroup(const TUndoMemento&) const {
    return 0;
}
