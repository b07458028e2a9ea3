#pragma once

class QLineEdit;

// Lets the benchmark see when a typed key shows. With CUSTDESK_ECHO_TRACE naming a file, the
// box writes "box <x> <y>" (its centre on the screen) once it shows, and "echo <ns> <length>"
// (wall clock) as it paints a changed text. Without it nothing is installed.
void traceEchoes(QLineEdit& box);
