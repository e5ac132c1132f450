/* A host of libhwid.so on a machine where opening one adapter's address file blocks, as a hung
 * WMI provider does (the file is a FIFO nobody writes). Hundreds of calls with a short time limit
 * must leave the library holding at most its three threads; once every one is stuck, a call with
 * a long limit must be refused at once. Then the address is written into the FIFO, which lets the
 * stuck readings return, and a regular file takes the FIFO's place for the readings to come: the
 * next call, once the stuck threads have ended, must answer.
 * Usage: stalled_host FIFO ADDRESS. Prints the last call's identifier; exits 0 when all of that
 * holds. */
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdio.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include "hwid/hwid.h"

enum { kCalls = 300, kLibraryThreads = 3 };

static int failures = 0;

static void check(int condition, const char* what) {
  if (!condition) {
    (void)fprintf(stderr, "FAIL: %s\n", what);
    ++failures;
  }
}

/* This process's threads: one entry each under /proc/self/task. */
static size_t thread_count(void) {
  size_t threads = 0;
  DIR* tasks = opendir("/proc/self/task");
  if (tasks == NULL) {
    return 0;
  }
  /* cppcheck-suppress readdirCalled ; readdir_r is deprecated; the stream is this thread's alone */
  for (const struct dirent* entry = readdir(tasks); entry != NULL; entry = readdir(tasks)) {
    if (entry->d_name[0] != '.') {
      ++threads;
    }
  }
  (void)closedir(tasks);
  return threads;
}

static void* nothing(void* argument) { return argument; }

static double seconds_since(const struct timespec* start) {
  struct timespec now;
  (void)clock_gettime(CLOCK_MONOTONIC, &now);
  return (double)(now.tv_sec - start->tv_sec) + (double)(now.tv_nsec - start->tv_nsec) / 1e9;
}

/* Whether the threads fall to `count` within 30 s. */
static int threads_fall_to(size_t count) {
  const struct timespec pause = {0, 1000000};
  struct timespec start;
  (void)clock_gettime(CLOCK_MONOTONIC, &start);
  while (thread_count() > count) {
    if (seconds_since(&start) > 30) {
      return 0;
    }
    (void)nanosleep(&pause, NULL);
  }
  return 1;
}

/* A regular file with `address` where the FIFO was, then `address` written into the FIFO, which
 * the stuck readings opened (a reader waiting to open a FIFO lets a writer open it at once). */
static int feed(const char* fifo, const char* address) {
  char aside[4096];
  if (snprintf(aside, sizeof aside, "%s.stuck", fifo) >= (int)sizeof aside ||
      rename(fifo, aside) != 0) {
    return 0;
  }
  FILE* file = fopen(fifo, "w");
  if (file == NULL) {
    return 0;
  }
  const int written = fprintf(file, "%s\n", address) > 0;
  if (fclose(file) != 0 || !written) {
    return 0;
  }
  const int writer = open(aside, O_WRONLY | O_NONBLOCK);
  if (writer < 0) {
    return 0;
  }
  const size_t length = strlen(address);
  const int fed = write(writer, address, length) == (ssize_t)length;
  return close(writer) == 0 && fed;
}

int main(int argc, char** argv) {
  if (argc != 3) {
    (void)fprintf(stderr, "usage: stalled_host FIFO ADDRESS\n");
    return 2;
  }
  /* A thread started and joined first, so that what a runtime starts along with a process's first
   * thread (ThreadSanitizer's own) is counted before. */
  pthread_t first;
  if (pthread_create(&first, NULL, nothing, NULL) != 0 || pthread_join(first, NULL) != 0) {
    (void)fprintf(stderr, "FAIL: no thread\n");
    return 1;
  }
  const size_t before = thread_count();
  char buffer[1024];
  size_t needed = 0;
  check(hwid_set_timeout_ms(20) == HWID_STATUS_OK, "limit set");
  int timed_out = 0;
  int refused = 0;
  size_t most = before;
  for (int call = 0; call < kCalls; ++call) {
    const hwid_status status = hwid_identifier(HWID_LAYOUT_CURRENT, buffer, sizeof buffer, &needed);
    timed_out += status == HWID_STATUS_TIMED_OUT;
    refused += status == HWID_STATUS_NOT_RESPONDING;
    const size_t threads = thread_count();
    most = threads > most ? threads : most;
  }
  (void)fprintf(stderr,
                "%d calls: %d timed out, %d not responding; %zu threads at most, %zu before\n",
                kCalls, timed_out, refused, most, before);
  check(timed_out + refused == kCalls, "every call timed out or was refused");
  check(timed_out >= kLibraryThreads && refused > kCalls / 2, "refused once every thread is stuck");
  check(most <= before + kLibraryThreads, "at most three threads of the library's");
  check(thread_count() == before + kLibraryThreads, "three threads stuck in the end");

  struct timespec start;
  (void)clock_gettime(CLOCK_MONOTONIC, &start);
  check(hwid_set_timeout_ms(20000) == HWID_STATUS_OK, "long limit set");
  check(hwid_identifier(HWID_LAYOUT_CURRENT, buffer, sizeof buffer, &needed) ==
            HWID_STATUS_NOT_RESPONDING,
        "refused with a long limit");
  /* Not a measure of speed: waiting for the machine would take the whole limit. */
  check(seconds_since(&start) < 10, "refused without waiting");

  check(feed(argv[1], argv[2]), "address written into the FIFO");
  check(threads_fall_to(before), "the stuck threads end once their readings return");
  const hwid_status status = hwid_identifier(HWID_LAYOUT_CURRENT, buffer, sizeof buffer, &needed);
  check(status == HWID_STATUS_OK, "the next call answers");
  if (status == HWID_STATUS_OK) {
    (void)fputs(buffer, stdout);
  }
  return failures == 0 ? 0 : 1;
}
