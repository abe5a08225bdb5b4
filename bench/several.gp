# Several devices at once, from several-plot.dat of the benchmark's results folder: the time of
# the whole run against one device's, and the program's CPU time as a share of one core.
set terminal pngcairo size 800,500
set output "several-devices.png"
set title "keystrand-update: several devices at once, paced at 115200 baud"
set xlabel "devices updated at once"
set ylabel "time against one device's"
set y2label "CPU time, % of one core"
set xtics (1, 16, 32, 64)
set logscale x 2
set xrange [0.8:80]
set yrange [0.9:1.2]
set y2range [0:60]
set ytics nomirror
set y2tics
set key below
set grid
plot "several-plot.dat" using 1:2 axes x1y1 with linespoints title "time against one device's", \
     1.10 axes x1y1 with lines dashtype 2 title "goal for the time at 64 devices: 1.10", \
     "several-plot.dat" using 1:3 axes x1y2 with linespoints title "CPU, % of one core", \
     10 axes x1y2 with lines dashtype 3 title "goal for the CPU at 16 devices: 10 %"
