# Transfer time against image size, from sizes.dat of the benchmark's results folder.
set terminal pngcairo size 800,500
set output "transfer-time.png"
set title "Keystrand SM firmware transfer time"
set xlabel "image size (KiB)"
set ylabel "seconds"
set logscale xy
set key bottom right
set xrange [12:320]
set grid
plot "sizes.dat" using 1:2 with linespoints title "program, unpaced", \
     "sizes.dat" using 1:3 with linespoints title "Python reference peer, unpaced", \
     "sizes.dat" using 1:4 with linespoints title "program, paced 115200 baud", \
     "sizes.dat" using 1:5 with lines dashtype 2 title "line limit at 115200 baud"
