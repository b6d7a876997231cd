// The program entry point.

int main() {
  return 0;
}
