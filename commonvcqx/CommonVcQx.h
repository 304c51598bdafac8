// commonvcqx/CommonVcQx.h
//
// Umbrella header: includes every public header of the library. A test keeps it
// complete, so a program may include just this.
//
//   #include <commonvcqx/CommonVcQx.h>
#pragma once

#include <commonvcqx/Version.h>

#include <commonvcqx/containers/Array.h>
#include <commonvcqx/containers/ArrayBase.h>
#include <commonvcqx/containers/Collection.h>
#include <commonvcqx/containers/DoubleList.h>
#include <commonvcqx/containers/DoubleListOfPointers.h>
#include <commonvcqx/containers/FlexHashMap.h>
#include <commonvcqx/containers/FlexList.h>
#include <commonvcqx/containers/LookupTable.h>
#include <commonvcqx/containers/SlotSequence.h>
#include <commonvcqx/containers/StringItem.h>
#include <commonvcqx/containers/StringToLongAutoMap.h>

#include <commonvcqx/events/EventObject.h>
#include <commonvcqx/events/EventPublisher.h>
#include <commonvcqx/events/EventSubscriber.h>
#include <commonvcqx/events/EventSubscription.h>
#include <commonvcqx/events/NotificationQueue.h>
#include <commonvcqx/events/PendingNotification.h>
#include <commonvcqx/events/SubscriptionGroup.h>

#include <commonvcqx/files/BufferedFile.h>
#include <commonvcqx/files/DirectoryScanner.h>
#include <commonvcqx/files/File.h>
#include <commonvcqx/files/FileName.h>
#include <commonvcqx/files/FileNameEx.h>
#include <commonvcqx/files/FileObject.h>
#include <commonvcqx/files/FileSelector.h>
#include <commonvcqx/files/FoundFile.h>
#include <commonvcqx/files/LogFile.h>
#include <commonvcqx/files/MemoryMappedFile.h>
#include <commonvcqx/files/MultiFileBuffer.h>

#include <commonvcqx/frame/AutoInitProcedure.h>
#include <commonvcqx/frame/Exception.h>
#include <commonvcqx/frame/ExceptionThrower.h>
#include <commonvcqx/frame/LibraryFrame.h>
#include <commonvcqx/frame/Object.h>
#include <commonvcqx/frame/ResMess.h>

#include <commonvcqx/memory/AHeap.h>
#include <commonvcqx/memory/AllocatorHooks.h>
#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/memory/HeapOneSize.h>
#include <commonvcqx/memory/HeapSwitcher.h>
#include <commonvcqx/memory/MemoryFunctions.h>
#include <commonvcqx/memory/PageCache.h>
#include <commonvcqx/memory/PageMemory.h>

#include <commonvcqx/platform/CriticalSection.h>
#include <commonvcqx/platform/Drives.h>
#include <commonvcqx/platform/ErrorCodes.h>
#include <commonvcqx/platform/MessageBoxHandler.h>
#include <commonvcqx/platform/Messages.h>
#include <commonvcqx/platform/RegistryKeys.h>
#include <commonvcqx/platform/TraceSink.h>
#include <commonvcqx/platform/WinTypes.h>

#include <commonvcqx/streams/InputMemoryBitStream.h>
#include <commonvcqx/streams/InputMemoryStream.h>
#include <commonvcqx/streams/InputStream.h>
#include <commonvcqx/streams/MemoryStream.h>
#include <commonvcqx/streams/OutputMemoryStream.h>
#include <commonvcqx/streams/OutputStream.h>
#include <commonvcqx/streams/Stream.h>
#include <commonvcqx/streams/TaggedDump.h>
#include <commonvcqx/streams/TaggedInputStream.h>
#include <commonvcqx/streams/TaggedOutputStream.h>
#include <commonvcqx/streams/TaggedStream.h>

#include <commonvcqx/text/AsciiEncoding.h>
#include <commonvcqx/text/AutoString.h>
#include <commonvcqx/text/BitSet256.h>
#include <commonvcqx/text/CharSet.h>
#include <commonvcqx/text/Checksums.h>
#include <commonvcqx/text/IntegerText.h>
#include <commonvcqx/text/NumberAndTimeStrings.h>
#include <commonvcqx/text/StaticStrings.h>
#include <commonvcqx/text/String.h>
#include <commonvcqx/text/StringAndValue.h>
#include <commonvcqx/text/StringFunctions.h>
#include <commonvcqx/text/StringGerm.h>
#include <commonvcqx/text/StringPattern.h>
#include <commonvcqx/text/ValueFormatting.h>

#include <commonvcqx/threads/BasicCriticalSection.h>
#include <commonvcqx/threads/CommandThread.h>
#include <commonvcqx/threads/CriticalSection.h>
#include <commonvcqx/threads/MultithreadedObject.h>
#include <commonvcqx/threads/ReadWriteSynchronizer.h>
#include <commonvcqx/threads/Semaphore.h>
#include <commonvcqx/threads/Thread.h>
#include <commonvcqx/threads/ThreadEvent.h>
#include <commonvcqx/threads/ThreadSynchronizer.h>
#include <commonvcqx/threads/VitalInterThreadMessage.h>
#include <commonvcqx/threads/VitalInterThreadMessageAgent.h>
#include <commonvcqx/threads/WaitFunctions.h>

#include <commonvcqx/config/AutoConfig.h>
#include <commonvcqx/config/Config.h>
#include <commonvcqx/config/ConfigKey.h>
#include <commonvcqx/config/Registry.h>

#include <commonvcqx/geometry/GeometryText.h>
#include <commonvcqx/geometry/Margins.h>
#include <commonvcqx/geometry/NumericFunctions.h>
#include <commonvcqx/geometry/Point.h>
#include <commonvcqx/geometry/Randomizer.h>
#include <commonvcqx/geometry/Rect.h>
#include <commonvcqx/geometry/Size.h>
#include <commonvcqx/geometry/StraightLine.h>

#include <commonvcqx/time/CycleCount.h>
#include <commonvcqx/time/DurationPredictor.h>
#include <commonvcqx/time/MusicTiming.h>
#include <commonvcqx/time/Time.h>
#include <commonvcqx/time/TimeMetrics.h>
#include <commonvcqx/time/TimeSpan.h>
#include <commonvcqx/time/Timer.h>
#include <commonvcqx/undo/ChiefOperator.h>
#include <commonvcqx/undo/MacroOperation.h>
#include <commonvcqx/undo/Operation.h>
#include <commonvcqx/undo/StringOperation.h>
#include <commonvcqx/undo/SwitchOperation.h>
#include <commonvcqx/undo/UndoMemento.h>
#include <commonvcqx/undo/Undoable.h>

#include <commonvcqx/system/Diagnostics.h>
#include <commonvcqx/system/Module.h>
#include <commonvcqx/system/ModuleVersionInfo.h>
#include <commonvcqx/system/System.h>
