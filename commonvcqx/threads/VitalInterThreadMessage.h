// commonvcqx/threads/VitalInterThreadMessage.h
//
// TVitalInterThreadMessage: a message object handed from one thread to another
// through a TVitalInterThreadMessageAgent. The receiver calls OnReception; the four
// words are free for derived message classes (the library reads none of them).
//
//   class TReload : public TVitalInterThreadMessage {
//   public:
//       void OnReception() override { ReloadSettings(); done->SetTrue(); }
//       TThreadEvent* done;
//   };
#pragma once

#include <commonvcqx/containers/DoubleList.h>

#include <cstdint>

class TVitalInterThreadMessage : public TListElement {
public:
    TVitalInterThreadMessage() noexcept = default;
    /// Copies the four words, not the list links.
    TVitalInterThreadMessage(const TVitalInterThreadMessage& other) noexcept;
    TVitalInterThreadMessage& operator=(const TVitalInterThreadMessage& other) noexcept;
    /// Public: whoever detached a message owns it and may delete it.
    ~TVitalInterThreadMessage() override;

    /// Called by the receiving thread once it has taken the message. Does nothing here.
    virtual void OnReception();

    int32_t GetFirstWord() const noexcept { return m_firstWord; }
    uint32_t GetSecondWord() const noexcept { return m_secondWord; }
    uint32_t GetThirdWord() const noexcept { return m_thirdWord; }
    char GetFlag() const noexcept { return m_flag; }

protected:
    int32_t m_firstWord = -1;
    uint32_t m_secondWord = 0;
    uint32_t m_thirdWord = 0;
    char m_flag = 0;
};
