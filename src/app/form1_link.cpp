#include "form1.h"

void Form1::setupLink() { }

void Form1::Command2_Click(int) { }
void Form1::Command3_Click() { }
void Form1::MSComm1_OnComm() { }
void Form1::ParseReceivedList() { }
