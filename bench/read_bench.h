#pragma once
int runReadBenchmark();
