/* int32_t CallMeasured(const void* fn, const uint32_t* args, uint32_t count,
                        int32_t* stack_delta), cdecl, i386.
   Pushes the arguments right to left, calls fn, and stores how far ESP
   moved across the call beyond the pushed bytes: 0 for a callee that pops
   its own arguments (stdcall), 4 * count for one that does not. */
    .text
    .globl _CallMeasured
_CallMeasured:
    pushl %ebp
    movl %esp, %ebp
    pushl %esi
    pushl %edi
    pushl %ebx
    movl 12(%ebp), %esi      /* args */
    movl 16(%ebp), %ecx      /* count */
    movl %esp, %edi          /* ESP before the pushes */
1:  testl %ecx, %ecx
    jz 2f
    pushl -4(%esi,%ecx,4)
    decl %ecx
    jmp 1b
2:  call *8(%ebp)
    movl %esp, %edx
    subl %edi, %edx          /* 0 when the callee popped everything */
    movl %edi, %esp
    movl 20(%ebp), %ecx
    movl %edx, (%ecx)
    popl %ebx
    popl %edi
    popl %esi
    popl %ebp
    ret
