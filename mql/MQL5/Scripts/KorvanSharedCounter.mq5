//+------------------------------------------------------------------+
//| KorvanSharedCounter.mq5: two programs share a critical section   |
//| and a flag. Run it on two charts at once: each adds 1000 to flag |
//| 0 under section 0, and the one that finishes last sees 2000.     |
//| Flag 1 counts the copies running. Allow DLL imports for it.      |
//+------------------------------------------------------------------+
#include <KorvanUpdater.mqh>

#define COUNTER_SECTION 0
#define COUNTER_FLAG 0
#define RUNNING_FLAG 1

void OnStart()
  {
   // The first copy to enter resets the counter.
   extEnterCS(COUNTER_SECTION);
   if(extGetFlag(RUNNING_FLAG) == 0)
      extSetFlag(COUNTER_FLAG, 0);
   extSetFlag(RUNNING_FLAG, extGetFlag(RUNNING_FLAG) + 1);
   extLeaveCS(COUNTER_SECTION);

   for(int i = 0; i < 1000 && !IsStopped(); i++)
     {
      // Read and write as one step: without the section two copies could
      // read the same value and one addition would be lost.
      extEnterCS(COUNTER_SECTION);
      extSetFlag(COUNTER_FLAG, extGetFlag(COUNTER_FLAG) + 1);
      extLeaveCS(COUNTER_SECTION);
      if(i % 100 == 0)
         Sleep(1);  // lets the other copy in
     }

   extEnterCS(COUNTER_SECTION);
   int running = extGetFlag(RUNNING_FLAG) - 1;
   extSetFlag(RUNNING_FLAG, running);
   int total = extGetFlag(COUNTER_FLAG);
   extLeaveCS(COUNTER_SECTION);

   if(extTryEnterCS(COUNTER_SECTION) != 0)  // nobody holds it now: entered at once
      extLeaveCS(COUNTER_SECTION);
   Print("counter ", total, running > 0 ? " (the other copy is still counting)" : " (all copies done)");
  }
//+------------------------------------------------------------------+
