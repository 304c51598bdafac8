// commonvcqx/files/internal/FileNotifier.h
//
// "GlobalFileNotifier": the thread-safe publisher through which every TFile::Close
// announces itself. Built at its own start-up step, before the heaps' users need it.
//
//   if (TEventPublisher* notifier = cvq::detail::GlobalFileNotifier()) ...
#pragma once

class TEventPublisher;

namespace cvq::detail {

/// Null before its start-up step built it and once unloading destroyed it, so files
/// closed by static objects then announce nothing.
TEventPublisher* GlobalFileNotifier() noexcept;

}  // namespace cvq::detail
